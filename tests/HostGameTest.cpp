#include "Host.h"
#include "Session.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class HostGameTest : public ::testing::Test {
protected:
    HostGameTest() : host(std::filesystem::temp_directory_path()) {}
    sim::Host host;
};

TEST_F(HostGameTest, TimersRunInDueOrderThenInOrderSet) {
    std::string order;
    host.AddHostTimer(0.2, [&] { order += "c"; });
    host.AddHostTimer(0.1, [&] { order += "a"; });
    host.AddHostTimer(0.1, [&] { order += "b"; });
    host.Wait(0.15);
    EXPECT_EQ(order, "ab");
    host.Wait(0.05);
    EXPECT_EQ(order, "abc");
}

TEST_F(HostGameTest, TickLengthIsDividedByTheGameSpeed) {
    int fired = 0;
    host.AddHostTimer(0.2, [&] { ++fired; });
    host.Tick(23, {});
    EXPECT_EQ(fired, 0);
    host.Tick(1, {});
    EXPECT_EQ(fired, 1);

    host.RunLine("sv_soccar_gamespeed 2");
    const double start = host.Clock();
    host.Tick(12, {});
    EXPECT_NEAR(host.Clock() - start, 0.05, 1e-12);
}

TEST_F(HostGameTest, PausedGameRunsNoTicks) {
    host.RunLine("sv_soccar_gamespeed 0");
    host.Tick(5, {});
    EXPECT_EQ(host.TickCount(), 0u);
    EXPECT_EQ(host.Errors().size(), 1u);
}

TEST_F(HostGameTest, ExecuteQueueRunsInOrderBeforeTheNextTick) {
    std::string order;
    host.AddExecute(sim::HostOwner, [&] { order += "1"; });
    host.AddExecute(sim::HostOwner, [&] {
        order += "2";
        host.AddExecute(sim::HostOwner, [&] { order += "3"; });
    });
    EXPECT_EQ(order, "");
    host.Tick(1, {});
    EXPECT_EQ(order, "12");
    host.Tick(1, {});
    EXPECT_EQ(order, "123");
}

TEST_F(HostGameTest, HooksRunInRegistrationOrderAndSeeTheirPhase) {
    std::string order;
    host.Hook(1, sim::Events::Destroyed, true, [&](std::string) { order += "post"; });
    host.Hook(1, sim::Events::Destroyed, false, [&](std::string) { order += "pre1,"; });
    host.Hook(1, sim::Events::Destroyed, false, [&](std::string) { order += "pre2,"; });
    host.DestroyGameEvent();
    EXPECT_EQ(order, "pre1,pre2,");
}

TEST_F(HostGameTest, InputHookWritesTakeEffect) {
    VehicleInput seen{};
    host.HookWithCaller(1, sim::Events::SetVehicleInput, [&](uintptr_t, void* params, std::string) {
        std::memcpy(&seen, params, sizeof seen);
        static_cast<VehicleInput*>(params)->Throttle = -1.0f;
    });
    VehicleInput live;
    live.Throttle = 0.25f;
    host.Tick(1, live);
    EXPECT_EQ(seen.Throttle, 0.25f);
    EXPECT_EQ(host.GetWorld().LocalCar()->lastInput.Throttle, -1.0f);
}

TEST_F(HostGameTest, ExceptionOfACallbackIsReportedAndTheSessionGoesOn) {
    host.AddHostTimer(0, [] { throw std::runtime_error("boom"); });
    host.Wait(0);
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "exception escaped a plugin callback: boom");
    host.Tick(1, {});
    EXPECT_EQ(host.TickCount(), 1u);
}

// Runs 240 ticks of varied input from the kickoff and returns every state.
std::vector<std::string> Drive(sim::Host& host, float steer) {
    host.GetWorld().PlaceAtKickoff();
    std::vector<std::string> states;
    for (int i = 0; i < 240; ++i) {
        VehicleInput input;
        input.Throttle = 1.0f;
        input.Steer = i > 60 ? steer : 0.0f;
        input.Pitch = i > 130 ? 0.5f : 0.0f;
        input.Flags = (i == 120 ? VehicleInputFlag::Jump : 0) |
                      (i > 30 && i < 90 ? VehicleInputFlag::ActivateBoost : 0);
        host.Tick(1, input);
        states.push_back(sim::Session::StateLine("car", host.GetWorld().LocalCar()) +
                         sim::Session::StateLine("ball", host.GetWorld().GetBall()));
    }
    return states;
}

TEST_F(HostGameTest, PhysicsIsDeterministicAndFollowsInputs) {
    auto first = Drive(host, 0.5f);
    auto second = Drive(host, 0.5f);
    auto other = Drive(host, -0.5f);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.back(), other.back());
    EXPECT_NE(first[100], first[0]);
}

TEST_F(HostGameTest, EveryControlChangesTheCarsMotion) {
    auto after = [&](VehicleInput input) {
        host.GetWorld().PlaceAtKickoff();
        host.GetWorld().LocalCar()->location.Z = 300.0f; // in the air for the air controls
        host.Tick(3, input);
        return sim::Session::StateLine("car", host.GetWorld().LocalCar());
    };
    const std::string idle = after({});
    float VehicleInput::*floats[] = {&VehicleInput::Steer,       &VehicleInput::Pitch,
                                     &VehicleInput::Yaw,         &VehicleInput::Roll,
                                     &VehicleInput::FlipForward, &VehicleInput::FlipSideways};
    for (auto field : floats) {
        VehicleInput input;
        input.*field = 1.0f;
        EXPECT_NE(after(input), idle);
    }
    for (uint32_t bit : {VehicleInputFlag::ActivateBoost, VehicleInputFlag::BoostHeld,
                         VehicleInputFlag::JumpHeld}) {
        VehicleInput input;
        input.Flags = bit;
        EXPECT_NE(after(input), idle) << bit;
    }
}

TEST_F(HostGameTest, TakenAwayObjectsTestFalseThroughTheirWrappers) {
    auto* car = host.GetWorld().LocalCar();
    CarWrapper wrapper(reinterpret_cast<uintptr_t>(car));
    EXPECT_TRUE(static_cast<bool>(wrapper));
    host.GetWorld().SetLocalCar(std::nullopt);
    EXPECT_FALSE(static_cast<bool>(wrapper));
}

TEST_F(HostGameTest, RefusesAPluginOfAnotherApiVersion) {
    BakkesMod::Plugin::PluginInfo info{94, "", "X", "X", "1", 1, nullptr, nullptr};
    EXPECT_FALSE(host.LoadPlugin(info));
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "plugin API version 94 is not supported (host API version 95)");
}

} // namespace
