#include "Host.h"
#include "Session.h"
#include "Ui.h"
#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/wrappers/GameObject/CarComponent/BoostWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarWrapper.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cstring>
#include <stdexcept>

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
    ControllerInput seen{};
    host.HookWithCaller(1, sim::Events::SetVehicleInput, [&](uintptr_t, void* params, std::string) {
        std::memcpy(&seen, params, sizeof seen);
        static_cast<ControllerInput*>(params)->Throttle = -1.0f;
    });
    ControllerInput live;
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
        ControllerInput input;
        input.Throttle = 1.0f;
        input.Steer = i > 60 ? steer : 0.0f;
        input.Pitch = i > 130 ? 0.5f : 0.0f;
        input.Jump = i == 120;
        input.ActivateBoost = i > 30 && i < 90;
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
    auto after = [&](ControllerInput input) {
        host.GetWorld().PlaceAtKickoff();
        host.GetWorld().LocalCar()->location.Z = 300.0f; // in the air for the air controls
        host.Tick(3, input);
        return sim::Session::StateLine("car", host.GetWorld().LocalCar());
    };
    const std::string idle = after({});
    float ControllerInput::*floats[] = {
        &ControllerInput::Steer, &ControllerInput::Pitch,        &ControllerInput::Yaw,
        &ControllerInput::Roll,  &ControllerInput::DodgeForward, &ControllerInput::DodgeStrafe};
    for (auto field : floats) {
        ControllerInput input;
        input.*field = 1.0f;
        EXPECT_NE(after(input), idle);
    }
    ControllerInput boost, holdingBoost, jumped;
    boost.ActivateBoost = 1;
    holdingBoost.HoldingBoost = 1;
    jumped.Jumped = 1;
    for (const auto& input : {boost, holdingBoost, jumped}) {
        EXPECT_NE(after(input), idle) << sim::FlagWord(input);
    }
}

TEST_F(HostGameTest, BoostIsSpentAtAThirdOfATankASecondAndAnEmptyTankPushesNot) {
    sim::Car& car = *host.GetWorld().LocalCar();
    BoostWrapper boost = CarWrapper(reinterpret_cast<uintptr_t>(&car)).GetBoostComponent();
    ControllerInput input;
    input.ActivateBoost = 1;
    host.Tick(60, input);
    EXPECT_NEAR(boost.GetCurrentBoostAmount(), 0.165f, 1e-4f);
    host.Tick(70, input);
    const float speed = car.velocity.Y;
    host.Tick(10, input);
    EXPECT_EQ(boost.GetCurrentBoostAmount() + car.velocity.Y, speed); // empty, and no faster
    boost.SetCurrentBoostAmount(0.5f);
    EXPECT_EQ(car.boost, 0.5f);
}

// Buttons: 1 jump, 2 and the stick forward. A car started high jumped long ago.
TEST_F(HostGameTest, JumpsNeedPressesAndTheSecondOneComesInTime) {
    const std::tuple<const char*, float, std::vector<std::pair<int, int>>, unsigned long> cases[] =
        {
            {"held, no second press", 17, {{31, 1}}, 100},
            {"press in the air without a jump", 300, {{1, 1}}, 0},
            {"second jump in time", 17, {{1, 1}, {30, 0}, {1, 1}}, 110},
            {"flip in time", 17, {{1, 1}, {30, 0}, {1, 2}}, 111},
            {"second press too late", 2000, {{151, 0}, {1, 1}}, 100},
            {"landed", 17, {{1, 1}, {120, 0}}, 0},
        };
    for (const auto& [name, z, steps, flags] : cases) {
        host.GetWorld().PlaceAtKickoff();
        sim::Car& car = *host.GetWorld().LocalCar();
        CarWrapper wrapper(reinterpret_cast<uintptr_t>(&car));
        car.lastInput = {};
        car.location.Z = z;
        wrapper.SetbJumped(z > 1000);
        for (auto [ticks, button] : steps) {
            ControllerInput input;
            input.Jump = button > 0;
            input.DodgeForward = button == 2 ? 1.0f : 0.0f;
            host.Tick(ticks, input);
        }
        const unsigned long flipped = car.velocity.Y > 400.0f;
        EXPECT_EQ(100 * wrapper.GetbJumped() + 10 * wrapper.GetbDoubleJumped() + flipped, flags)
            << name;
    }
}

// Spin bends the flight (+Y), and the floor's grip beats the bend (-X) on a bounce.
TEST_F(HostGameTest, BallSpinBendsItsFlightAndItsBounceAndTurnsIt) {
    sim::Ball& ball = *host.GetWorld().GetBall();
    for (auto [velocity, spin] : {std::pair<Vector, Vector>{{1000, 0, 0}, {0, 0, 6}},
                                  std::pair<Vector, Vector>{{0, 0, -500}, {0, 6, 0}}}) {
        host.GetWorld().PlaceAtKickoff();
        ball.location.Z = 300;
        ball.velocity = velocity;
        ball.angularVelocity = spin;
        host.Tick(60, {});
        EXPECT_GT(spin.Z ? ball.velocity.Y : ball.velocity.X, 50.0f);
        EXPECT_NE(ball.rotation.Pitch + ball.rotation.Yaw, 0);
    }
}

// The flag word is the game's: Handbrake is bit 0 up to Jumped at bit 4, and
// bits the game sets beyond them travel along.
TEST_F(HostGameTest, FlagWordHoldsTheBitFieldsInTheirOrder) {
    ControllerInput input;
    input.Handbrake = 1;
    input.HoldingBoost = 1;
    EXPECT_EQ(sim::FlagWord(input), 0x9u);
    sim::SetFlagWord(input, 0x80000016u);
    EXPECT_EQ(input.Handbrake, 0u);
    EXPECT_EQ(input.Jump, 1u);
    EXPECT_EQ(input.ActivateBoost, 1u);
    EXPECT_EQ(input.Jumped, 1u);
    EXPECT_EQ(sim::FlagWord(input), 0x80000016u);
}

TEST_F(HostGameTest, TakenAwayObjectsTestFalseThroughTheirWrappers) {
    auto* car = host.GetWorld().LocalCar();
    CarWrapper wrapper(reinterpret_cast<uintptr_t>(car));
    EXPECT_TRUE(static_cast<bool>(wrapper));
    BoostWrapper boost = wrapper.GetBoostComponent();
    wrapper.SetbDoubleJumped(1);
    EXPECT_TRUE(car->doubleJumped);
    host.GetWorld().SetLocalCar(std::nullopt);
    EXPECT_FALSE(static_cast<bool>(wrapper));
    EXPECT_FALSE(static_cast<bool>(boost));
    EXPECT_THROW(boost.GetCurrentBoostAmount(), std::runtime_error);
}

TEST_F(HostGameTest, RefusesAPluginOfAnotherApiVersion) {
    BakkesMod::Plugin::PluginInfo info{94, "", "X", "X", "1", 1, nullptr, nullptr};
    EXPECT_FALSE(host.LoadPlugin(info));
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "plugin API version 94 is not supported (host API version 95)");
}

// A page that can fail half-way through its drawing, with a tab bar, an ID,
// a tree node, a group and a dimmed text colour still open.
class FailingPage : public BakkesMod::Plugin::BakkesModPlugin,
                    public BakkesMod::Plugin::PluginSettingsWindow {
public:
    static inline bool fail = false;

    void RenderSettings() override {
        if (!ImGui::BeginTabBar("tabs")) {
            return;
        }
        if (ImGui::BeginTabItem("First")) {
            ImGui::Text("Above");
            ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 255, 255, 100));
            ImGui::PushID("inner");
            ImGui::SetNextItemOpen(true);
            if (ImGui::TreeNode("Node")) {
                ImGui::BeginGroup();
                ImGui::Text("Inside");
                if (fail) {
                    throw std::runtime_error("page failed");
                }
                ImGui::EndGroup();
                ImGui::TreePop();
            }
            ImGui::PopID();
            ImGui::PopStyleColor();
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
    std::string GetPluginName() override { return "Failing"; }
    void SetImGuiContext(uintptr_t context) override {
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(context));
    }
};

std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin> failingPageOwner;

TEST_F(HostGameTest, APageThatFailsHalfWayIsReportedAndDrawnWholeNextFrame) {
    const BakkesMod::Plugin::PluginInfo info{BAKKESMOD_PLUGIN_API_VERSION,
                                             "",
                                             "FailingPage",
                                             "Failing",
                                             "1",
                                             1,
                                             [] {
                                                 failingPageOwner = std::make_shared<FailingPage>();
                                                 return reinterpret_cast<uintptr_t>(
                                                     &failingPageOwner);
                                             },
                                             [] {
                                                 failingPageOwner.reset();
                                             }};
    FailingPage::fail = false;
    ASSERT_TRUE(host.LoadPlugin(info));
    sim::Ui& ui = host.GetUi();
    const auto whole = sim::Ui::Lines(ui.Show());
    ASSERT_NE(std::find(whole.begin(), whole.end(), "ui: Inside [disabled]"), whole.end());

    FailingPage::fail = true;
    ui.Frame();
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "exception escaped a plugin callback: page failed");

    // What the failed frame left open was closed with its window: the page's
    // own texts keep their look.
    FailingPage::fail = false;
    EXPECT_EQ(sim::Ui::Lines(ui.Show()), whole);
    EXPECT_EQ(host.Errors().size(), 1u);
    host.UnloadPlugin();
}

} // namespace
