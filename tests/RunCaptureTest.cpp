#include "PluginHarness.h"

#include <cmath>
#include <fstream>

namespace {

class RunCaptureTest : public PluginTest {
protected:
    void ExpectRunUntouched() {
        EXPECT_EQ(Run().Name, "before");
        EXPECT_EQ(Run().Data.Inputs.size(), 2u);
        EXPECT_EQ(Run().State, TasState::Replaying);
    }
    void PrepareLoadedRun() {
        Run().Name = "before";
        Run().Data.Inputs.assign(2, VehicleInput{});
        Run().State = TasState::Replaying;
    }
};

TEST_F(RunCaptureTest, CapturesCarBallHitboxAndSensitivitiesAndEndsTheRunningOne) {
    CaptureRun("old");
    host.RunLine("tas_recordspeed 0.5; tas_start");
    host.Wait(0.2);
    Tick(3);
    ASSERT_EQ(Run().State, TasState::Recording);
    ASSERT_EQ(host.GameSpeed(), 0.5f);
    host.ClearRecords();
    World().LocalCar()->location = {1, 2, 17};
    World().LocalCar()->rotation = {0, 100, 0};
    World().LocalCar()->velocity = {3, 4, 0};
    World().GetBall()->location = {5, 6, 200};
    World().settings.gamepad.SteeringSensitivity = 1.5f;
    World().settings.gamepad.AirControlSensitivity = 0.75f;
    Plugin().CreateNewTas("fresh");

    ASSERT_EQ(host.Toasts().size(), 1u);
    EXPECT_EQ(LastToast(), "TAS fresh created");
    EXPECT_EQ(host.Toasts()[0].type, 1);
    const auto& data = Run().Data;
    EXPECT_EQ(Run().Name, "fresh");
    EXPECT_TRUE(data.CarStart.Enabled);
    EXPECT_EQ(data.CarStart.Location.X, 1.0f);
    EXPECT_EQ(data.CarStart.Rotation.Yaw, 100);
    EXPECT_EQ(data.CarStart.Velocity.Y, 4.0f);
    EXPECT_TRUE(data.BallStart.Enabled);
    EXPECT_EQ(data.BallStart.Location.Z, 200.0f);
    EXPECT_EQ(data.Hitbox, HitboxType::Octane);
    EXPECT_EQ(data.SteerSensitivity, 1.5f);
    EXPECT_EQ(data.AirSensitivity, 0.75f);
    EXPECT_TRUE(data.Inputs.empty());
    EXPECT_TRUE(Run().PendingInputs.empty());
    EXPECT_TRUE(Run().InputsApplied);
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(host.ExecutedCommands(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
    EXPECT_EQ(Plugin().SpeedMode(), 0);
}

TEST_F(RunCaptureTest, WithoutABallWarnsAfterTheCreatedToast) {
    World().SetBall(false);
    Plugin().CreateNewTas("noball");
    ASSERT_EQ(host.Toasts().size(), 2u);
    EXPECT_EQ(host.Toasts()[0].text, "TAS noball created");
    EXPECT_EQ(host.Toasts()[1].text, "Couldn't retrieve ball information. TAS created without it");
    EXPECT_EQ(host.Toasts()[1].type, 2);
    EXPECT_FALSE(Run().Data.BallStart.Enabled);
    EXPECT_TRUE(Run().Data.CarStart.Enabled);
}

TEST_F(RunCaptureTest, RefusalsComeInOrderAndLeaveTheRun) {
    PrepareLoadedRun();
    std::ofstream(RunFolder() / "taken.data") << "x";
    World().freeplay = false;
    World().SetLocalCar(std::nullopt);
    Plugin().CreateNewTas("taken");
    EXPECT_EQ(LastToast(), "Load into freeplay to make a new TAS");
    EXPECT_TRUE(Plugin().Files().empty()); // not refreshed

    World().freeplay = true;
    Plugin().CreateNewTas("taken");
    EXPECT_EQ(LastToast(), "taken already exists, new TAS not created");
    EXPECT_EQ(Plugin().Files().size(), 1u);

    Plugin().CreateNewTas("TAKEN"); // one file on Windows
    EXPECT_EQ(LastToast(), "taken already exists, new TAS not created");
    Plugin().CreateNewTas(std::string(RoomForName(RunFolder()) + 1, 'n'));
    EXPECT_EQ(LastToast(), "TAS name is too long for the run folder");

    Plugin().CreateNewTas("Taken2");
    EXPECT_EQ(LastToast(), "Can't find car information new TAS not created");

    World().SetLocalCar(std::nextafter(60.2536888f, 100.0f));
    Plugin().CreateNewTas("Taken2");
    EXPECT_EQ(LastToast(),
              "Couldn't identify hitbox type, make sure you're in freeplay and not in a replay");
    EXPECT_EQ(host.Toasts().size(), 6u);
    for (auto& toast : host.Toasts()) {
        EXPECT_EQ(toast.type, 3);
        EXPECT_EQ(toast.title, "Gyrolog");
        EXPECT_EQ(toast.texture, "default");
        EXPECT_EQ(toast.timeout, 3.5f);
        EXPECT_EQ(toast.width, 290.0f);
        EXPECT_EQ(toast.height, 60.0f);
    }
    ExpectRunUntouched();
}

TEST_F(RunCaptureTest, DetectsEveryFamily) {
    const std::pair<const char*, HitboxType> kinds[] = {
        {"octane", HitboxType::Octane},     {"dominus", HitboxType::Dominus},
        {"breakout", HitboxType::Breakout}, {"plank", HitboxType::Plank},
        {"hybrid", HitboxType::Hybrid},     {"merc", HitboxType::Merc},
    };
    for (auto [kind, type] : kinds) {
        World().SetLocalCar(sim::FindCarKind(kind)->extentX);
        Plugin().CreateNewTas(kind);
        EXPECT_EQ(Run().Data.Hitbox, type) << kind;
    }
}

class CarCheckTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        CaptureRun();
    }
};

TEST_F(CarCheckTest, MatchingCarPasses) {
    EXPECT_TRUE(Plugin().CheckCarSettings());
    EXPECT_TRUE(host.Toasts().empty());
}

TEST_F(CarCheckTest, NoCarOrNoFreeplayFailsQuietly) {
    World().freeplay = false;
    EXPECT_FALSE(Plugin().CheckCarSettings());
    World().freeplay = true;
    World().SetLocalCar(std::nullopt);
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_TRUE(host.Toasts().empty());
}

TEST_F(CarCheckTest, OnlyTheFirstMismatchIsShown) {
    World().SetLocalCar(sim::FindCarKind("dominus")->extentX);
    World().settings.gamepad.AirControlSensitivity = 1.3f;
    World().settings.gamepad.SteeringSensitivity = 2.0f;
    EXPECT_FALSE(Plugin().CheckCarSettings());
    ASSERT_EQ(host.Toasts().size(), 1u);
    EXPECT_EQ(LastToast(), "Octane hitbox expected, Dominus hitbox detected");
    EXPECT_EQ(host.Toasts()[0].type, 3);

    World().SetLocalCar(sim::FindCarKind("octane")->extentX);
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_EQ(LastToast(), "1.000000 air sensitivity expected, 1.300000 air sensitivity detected");

    World().settings.gamepad.AirControlSensitivity = 1.0f;
    Run().Data.SteerSensitivity = 1.5f;
    World().settings.gamepad.SteeringSensitivity = 1.0f;
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_EQ(LastToast(),
              "1.500000 steer sensitivity expected, 1.000000 steer sensitivity detected");
    EXPECT_EQ(host.Toasts().size(), 3u);
}

TEST_F(CarCheckTest, OneUnitInTheLastPlaceFails) {
    World().settings.gamepad.SteeringSensitivity = std::nextafter(1.0f, 2.0f);
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_EQ(LastToast(),
              "1.000000 steer sensitivity expected, 1.000000 steer sensitivity detected");
    World().settings.gamepad.SteeringSensitivity = 1.0f;
    Run().Data.AirSensitivity = std::nanf("");
    World().settings.gamepad.AirControlSensitivity = std::nanf("");
    EXPECT_FALSE(Plugin().CheckCarSettings());
}

TEST_F(CarCheckTest, OtherOnBothSides) {
    Run().Data.Hitbox = HitboxType::Other;
    World().SetLocalCar(sim::FindCarKind("merc")->extentX);
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_EQ(LastToast(), "Other hitbox expected, Merc hitbox detected");
    World().SetLocalCar(1.0f);
    EXPECT_TRUE(Plugin().CheckCarSettings());
    Run().Data.Hitbox = static_cast<HitboxType>(9);
    EXPECT_FALSE(Plugin().CheckCarSettings());
    EXPECT_EQ(LastToast(), "Other hitbox expected, Other hitbox detected");
}

} // namespace
