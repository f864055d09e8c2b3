#include "PluginHarness.h"
#include "runs/record/TasFormat.h"

#include <fmt/core.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace {

class RunEngineTest : public PluginTest {
protected:
    // A captured run with `frames` inputs whose throttle is the frame number.
    void RunWithInputs(size_t frames, std::vector<uint64_t> teleports = {}) {
        CaptureRun();
        for (size_t i = 0; i < frames; ++i) {
            Run().Data.Inputs.push_back(Input(static_cast<float>(i)));
        }
        Run().Data.TeleportFrames = std::move(teleports);
    }
    void StartReplay() {
        host.RunLine("tas_start");
        host.Wait(0.2);
        ASSERT_EQ(Run().State, TasState::Replaying);
        host.ClearRecords();
    }
    float UsedThrottle() { return World().LocalCar()->lastInput.Throttle; }
    const std::vector<std::string>& Executed() { return host.ExecutedCommands(); }
};

TEST_F(RunEngineTest, EmptyRunTakesOverOnItsFirstTickAtRecordSpeed) {
    RunWithInputs(0);
    host.RunLine("tas_recordspeed 0.5");
    host.RunLine("tas_start");
    EXPECT_EQ(Run().State, TasState::Stopped);
    host.Wait(0.2);
    EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 1.000000"});
    EXPECT_EQ(Plugin().SpeedMode(), 1);
    Tick(1, Input(0.25f));
    EXPECT_EQ(Run().State, TasState::Recording);
    ASSERT_EQ(Run().PendingInputs.size(), 1u);
    EXPECT_EQ(Run().PendingInputs[0].Throttle, 0.25f);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.500000");
    EXPECT_EQ(Plugin().SpeedMode(), 2);
    EXPECT_FALSE(Run().InputsApplied);
    EXPECT_EQ(UsedThrottle(), 0.25f);
}

TEST_F(RunEngineTest, ReplayRunsOutOnTheTickAfterTheLastInput) {
    RunWithInputs(3);
    StartReplay();
    for (float frame : {0.0f, 1.0f, 2.0f}) {
        Tick(1, Input(-1));
        EXPECT_EQ(UsedThrottle(), frame);
        EXPECT_EQ(Run().State, TasState::Replaying);
    }
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 3u);
    EXPECT_EQ(UsedThrottle(), -1.0f);
    Tick(5, Input(-1));
    EXPECT_EQ(Run().CurrentFrame, 3u);
    EXPECT_EQ(Run().PendingInputs.size(), 6u);
}

TEST_F(RunEngineTest, WatchedControlTakesOverWithoutReplayingThatTick) {
    RunWithInputs(10);
    StartReplay();
    Tick(4);
    Tick(1, Input(0.75f, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 4u);
    ASSERT_EQ(Run().PendingInputs.size(), 1u);
    EXPECT_EQ(Run().PendingInputs[0].Flags, VehicleInputFlag::ActivateBoost);
    EXPECT_EQ(UsedThrottle(), 0.75f);
}

TEST_F(RunEngineTest, EveryWatchedFieldFiresOnlyWithItsSwitch) {
    struct Case {
        const char* variable;
        void (*touch)(VehicleInput&);
    };
    const Case cases[] = {
        {"tas_checkthrottle",
         [](VehicleInput& i) {
             i.Throttle = 1e-30f;
         }},
        {"tas_checksteer",
         [](VehicleInput& i) {
             i.Steer = -0.01f;
         }},
        {"tas_checksteer",
         [](VehicleInput& i) {
             i.Pitch = 1;
         }},
        {"tas_checksteer",
         [](VehicleInput& i) {
             i.Yaw = 1;
         }},
        {"tas_checkairroll",
         [](VehicleInput& i) {
             i.Roll = 1;
         }},
        {"tas_checkhandbrake",
         [](VehicleInput& i) {
             i.Flags = VehicleInputFlag::Handbrake;
         }},
        {"tas_checkjump",
         [](VehicleInput& i) {
             i.FlipForward = 1;
         }},
        {"tas_checkjump",
         [](VehicleInput& i) {
             i.FlipSideways = 1;
         }},
        {"tas_checkjump",
         [](VehicleInput& i) {
             i.Flags = VehicleInputFlag::Jump;
         }},
        {"tas_checkjump",
         [](VehicleInput& i) {
             i.Flags = VehicleInputFlag::JumpHeld;
         }},
        {"tas_checkboost",
         [](VehicleInput& i) {
             i.Flags = VehicleInputFlag::BoostHeld;
         }},
    };
    RunWithInputs(100);
    host.RunLine("tas_checkboost 0");
    for (const auto& test : cases) {
        VehicleInput live;
        test.touch(live);
        StartReplay();
        Tick(1, live);
        EXPECT_EQ(Run().State, TasState::Replaying) << test.variable << " is off";
        host.RunLine(std::string(test.variable) + " 1");
        Tick(1, live);
        EXPECT_EQ(Run().State, TasState::Recording) << test.variable;
        host.RunLine(std::string(test.variable) + " 0");
    }
    VehicleInput unwatched;
    unwatched.Flags = 1u << 7;
    for (auto name : {"tas_checkthrottle", "tas_checksteer", "tas_checkairroll",
                      "tas_checkhandbrake", "tas_checkjump", "tas_checkboost"}) {
        host.RunLine(std::string(name) + " 1");
    }
    StartReplay();
    Tick(1, unwatched);
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, NegativeZeroDoesNotFireAndNanDoes) {
    RunWithInputs(10);
    host.RunLine("tas_checkthrottle 1");
    StartReplay();
    Tick(2, Input(-0.0f));
    EXPECT_EQ(Run().State, TasState::Replaying);
    Tick(1, Input(std::nanf("")));
    EXPECT_EQ(Run().State, TasState::Recording);
}

TEST_F(RunEngineTest, UnwatchedControlIsOverriddenByTheRun) {
    RunWithInputs(10);
    StartReplay();
    Tick(3, Input(1.0f));
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(UsedThrottle(), 2.0f);
}

TEST_F(RunEngineTest, OtherCarsAndTicksOutsideFreeplayAreUntouched) {
    RunWithInputs(10);
    World().SetOtherCar(true);
    StartReplay();
    Tick(2, Input(0.5f));
    EXPECT_EQ(World().OtherCar()->lastInput.Throttle, 1.0f);
    EXPECT_EQ(Run().CurrentFrame, 2u);
    World().freeplay = false;
    Tick(3, Input(0.5f, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(UsedThrottle(), 0.5f);
    EXPECT_EQ(Run().CurrentFrame, 2u);
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, TeleportFrameIsHeldUntilTheTeleportArrives) {
    RunWithInputs(6, {2});
    StartReplay();
    Tick(2);
    for (int i = 0; i < 3; ++i) {
        Tick(1);
        EXPECT_EQ(UsedThrottle(), 2.0f);
        EXPECT_EQ(Run().CurrentFrame, 2u);
    }
    host.Teleport({0, 0, 17});
    EXPECT_EQ(Run().NextTeleport, 1u);
    Tick(1);
    EXPECT_EQ(UsedThrottle(), 2.0f);
    Tick(1);
    EXPECT_EQ(UsedThrottle(), 3.0f);
    EXPECT_EQ(Run().CurrentFrame, 4u);
}

TEST_F(RunEngineTest, TakeOverOnTheFirstHeldTickDropsTheTeleportNotReached) {
    RunWithInputs(20, {10});
    StartReplay();
    Tick(10);
    ASSERT_EQ(Run().CurrentFrame, 10u);
    Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 10u);
    Tick(5, Input(-1));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 16u);
    EXPECT_EQ(Run().Data.Inputs[10].Flags, VehicleInputFlag::ActivateBoost);
    EXPECT_TRUE(Run().Data.TeleportFrames.empty());

    StartReplay();
    Tick(16);
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Run().CurrentFrame, 16u);
    EXPECT_EQ(UsedThrottle(), -1.0f);
    Tick(1);
    EXPECT_EQ(Run().State, TasState::Recording);
}

TEST_F(RunEngineTest, HoldWaitingTwoSecondsForItsTeleportTakesOver) {
    RunWithInputs(20, {10});
    StartReplay();
    Tick(10 + TeleportWaitTicks);
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Run().CurrentFrame, 10u);
    EXPECT_EQ(UsedThrottle(), 10.0f);
    EXPECT_TRUE(host.Logs().empty());
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 1.000000");
    EXPECT_EQ(LastLog(), "Replay waited 2 s at frame 10 for a teleport that did not come");
    EXPECT_EQ(UsedThrottle(), -1.0f) << "the player drives the tick it gives up on";

    // The held ticks are frames of the merged run, then what was recorded.
    Tick(4, Input(-2));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 10 + TeleportWaitTicks + 5);
    EXPECT_EQ(Run().Data.Inputs[10 + TeleportWaitTicks - 1].Throttle, 10.0f);
    EXPECT_EQ(Run().Data.Inputs[10 + TeleportWaitTicks].Throttle, -1.0f);
    EXPECT_EQ(Run().Data.Inputs.back().Throttle, -2.0f);
    EXPECT_TRUE(Run().Data.TeleportFrames.empty());
}

TEST_F(RunEngineTest, EarlyTeleportSkipsToItsFrame) {
    RunWithInputs(10, {6});
    StartReplay();
    Tick(2);
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 6u);
    Tick(1);
    EXPECT_EQ(UsedThrottle(), 6.0f);
}

TEST_F(RunEngineTest, RecordingNotesTeleportsOutsideTheCooldownOfTwelveTicks) {
    RunWithInputs(0);
    StartReplay();
    Tick(10);
    host.Teleport({});
    Tick(11);
    host.Teleport({}); // the eleventh tick after one seen: the same teleport
    EXPECT_EQ(Run().PendingTeleportFrames, std::vector<uint64_t>{10});
    Tick(1);
    host.Teleport({});
    EXPECT_EQ(Run().PendingTeleportFrames, (std::vector<uint64_t>{10, 22}));

    // Game time, not the host's clock: faster ticks and time without ticks
    // change nothing.
    host.RunLine("tas_recordspeed 4");
    Tick(30);
    host.Teleport({});
    host.Wait(1.0);
    host.Teleport({});
    EXPECT_EQ(Run().PendingTeleportFrames, (std::vector<uint64_t>{10, 22, 52}));
}

TEST_F(RunEngineTest, FirstTeleportAfterATakeOverAt120With30PendingIs150) {
    RunWithInputs(300);
    StartReplay();
    Tick(120);
    Tick(30, Input(0, VehicleInputFlag::ActivateBoost));
    ASSERT_EQ(Run().CurrentFrame, 120u);
    host.Teleport({});
    EXPECT_EQ(Run().PendingTeleportFrames, std::vector<uint64_t>{150});
}

TEST_F(RunEngineTest, ReplayTeleportWithinTheCooldownGoesBackToTheConsumedFrame) {
    RunWithInputs(20, {2, 8});
    StartReplay();
    Tick(1);
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 2u);
    Tick(3);
    EXPECT_EQ(Run().CurrentFrame, 5u);
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 2u);
    EXPECT_EQ(Run().NextTeleport, 1u);
}

TEST_F(RunEngineTest, TeleportWithNoFrameLeftStillStartsTheCooldown) {
    RunWithInputs(20, {1});
    StartReplay();
    host.Teleport({});
    Tick(12);
    EXPECT_EQ(Run().CurrentFrame, 13u);
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 13u);
    EXPECT_EQ(Plugin().TeleportCooldownTicks(), TeleportCooldownLength);
    Tick(1);
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 1u);

    // Stopped, the cooldown still starts, and counts the car's ticks only.
    host.RunLine("tas_stop");
    Tick(11);
    EXPECT_EQ(Plugin().TeleportCooldownTicks(), 0u);
    host.Teleport({});
    host.Wait(1.0);
    EXPECT_EQ(Plugin().TeleportCooldownTicks(), TeleportCooldownLength);
    Tick(12);
    EXPECT_EQ(Plugin().TeleportCooldownTicks(), 0u);
}

TEST_F(RunEngineTest, StartPlacesCarAndBallFiveTimesThenReplays) {
    RunWithInputs(5);
    Run().Data.CarStart.Location = {100, 200, 17};
    Run().Data.CarStart.AngularVelocity = {0, 0, 1};
    Run().Data.BallStart.Location = {0, 300, 500};
    int placements = 0;
    auto displaced = [&] {
        World().LocalCar()->location = {};
        World().GetBall()->location = {};
    };
    displaced();
    host.RunLine("tas_start");
    for (double at : {0.0, 0.05, 0.10, 0.15, 0.20}) {
        host.Wait(at == 0.0 ? 0.0 : 0.05);
        placements +=
            World().LocalCar()->location.X == 100.0f && World().GetBall()->location.Y == 300.0f;
        displaced();
    }
    EXPECT_EQ(placements, 5);
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(World().LocalCar()->angularVelocity.Z, 1.0f);
}

TEST_F(RunEngineTest, DisabledStartingStatesAreNotApplied) {
    RunWithInputs(5);
    Run().Data.CarStart.Enabled = false;
    Run().Data.BallStart.Enabled = false;
    World().LocalCar()->location = {7, 8, 17};
    World().GetBall()->location = {1, 2, 300};
    host.RunLine("tas_start");
    host.Wait(0.2);
    EXPECT_EQ(World().LocalCar()->location.X, 7.0f);
    EXPECT_EQ(World().GetBall()->location.Z, 300.0f);
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, RefusedStartChangesNothing) {
    RunWithInputs(5);
    Run().State = TasState::Recording;
    World().settings.gamepad.SteeringSensitivity = 2.0f;
    World().LocalCar()->location = {1, 1, 17};
    host.RunLine("tas_start");
    host.Wait(0.3);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(World().LocalCar()->location.X, 1.0f);
    EXPECT_TRUE(Executed().empty());
    EXPECT_EQ(host.Toasts().size(), 1u);
}

TEST_F(RunEngineTest, StartTwiceWithinTheStartRestartsTheReplay) {
    RunWithInputs(50);
    host.RunLine("tas_start");
    host.Wait(0.1);
    host.RunLine("tas_start");
    host.Wait(0.1);
    ASSERT_EQ(Run().State, TasState::Replaying);
    Tick(3);
    EXPECT_EQ(Run().CurrentFrame, 3u);
    host.Wait(0.1);
    EXPECT_EQ(Run().CurrentFrame, 0u);
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, LeavingFreeplayDuringTheStartLeavesTheRunStopped) {
    RunWithInputs(5);
    host.RunLine("tas_start");
    host.Wait(0.1);
    World().freeplay = false;
    host.Wait(0.1);
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(RunEngineTest, CarGoneWhenARestartWouldBeginRestoresNormalSpeed) {
    RunWithInputs(5);
    host.RunLine("tas_replayspeed 0.5");
    StartReplay();
    host.RunLine("tas_start");
    host.AddHostTimer(0.12, [&] { World().SetLocalCar(std::nullopt); });
    host.Wait(0.2);
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
    EXPECT_EQ(Plugin().SpeedMode(), 0);
    EXPECT_TRUE(host.Errors().empty());
}

TEST_F(RunEngineTest, EveryStopCancelsAStartNotYetBegun) {
    RunWithInputs(50);
    Run().Data.CarStart.Location = {100, 0, 17};
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"tas_stop",
         [&] {
             host.RunLine("tas_stop");
         }},
        {"round start",
         [&] {
             host.RoundStart();
         }},
        {"teardown",
         [&] {
             host.DestroyGameEvent();
         }},
    };
    for (const auto& [name, stop] : stops) {
        host.RunLine("tas_start");
        host.Wait(0.1);
        host.ClearRecords();
        stop();
        World().LocalCar()->location = {};
        host.Wait(0.2);
        EXPECT_EQ(Run().State, TasState::Stopped) << name;
        EXPECT_EQ(World().LocalCar()->location.X, 0.0f) << name;
        EXPECT_TRUE(host.Transcript().empty()) << name;
    }
}

TEST_F(RunEngineTest, StopInsideARestartRestoresNormalSpeed) {
    RunWithInputs(50);
    host.RunLine("tas_replayspeed 0.5");
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"tas_stop",
         [&] {
             host.RunLine("tas_stop");
         }},
        {"teardown",
         [&] {
             host.DestroyGameEvent();
         }},
    };
    for (const auto& [name, stop] : stops) {
        StartReplay();
        host.RunLine("tas_start");
        ASSERT_EQ(Run().State, TasState::Stopped);
        host.Wait(0.1);
        ASSERT_EQ(host.GameSpeed(), 0.5f);
        stop();
        EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 1"}) << name;
        EXPECT_EQ(Plugin().SpeedMode(), 0) << name;
        host.Wait(0.2);
        EXPECT_EQ(Run().State, TasState::Stopped) << name;
        EXPECT_EQ(host.GameSpeed(), 1.0f) << name;
    }
}

TEST_F(RunEngineTest, StartDiscardsUnmergedInputs) {
    RunWithInputs(5);
    StartReplay();
    Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
    host.RunLine("tas_start");
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(Run().PendingInputs.size(), 1u);
    host.Wait(0.2);
    EXPECT_TRUE(Run().PendingInputs.empty());
    EXPECT_TRUE(Run().InputsApplied);
}

TEST_F(RunEngineTest, TakeOverAt120With50RecordedGives170Inputs) {
    RunWithInputs(300, {50, 120, 200});
    StartReplay();
    Tick(50);
    host.Teleport({});
    host.Wait(0.2);
    Tick(70);
    ASSERT_EQ(Run().CurrentFrame, 120u);
    host.Teleport({}); // the replay consumes the teleport at 120
    ASSERT_EQ(Run().NextTeleport, 2u);
    host.Wait(0.2);
    Tick(50, Input(-5, VehicleInputFlag::ActivateBoost));
    host.Teleport({});
    host.RunLine("tas_stop");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 1");
    EXPECT_EQ(Plugin().SpeedMode(), 0);
    host.RunLine("tas_update");
    ASSERT_EQ(Run().Data.Inputs.size(), 170u);
    EXPECT_EQ(Run().Data.Inputs[119].Throttle, 119.0f);
    EXPECT_EQ(Run().Data.Inputs[120].Throttle, -5.0f);
    EXPECT_EQ(Run().Data.TeleportFrames, (std::vector<uint64_t>{50, 120, 170}));
    EXPECT_EQ(Run().Data.Trace.size(), 170u) << "the replay traced frames 0 to 119 as it played";
    EXPECT_EQ(LastToast(), "New inputs applied");
    EXPECT_EQ(host.Toasts().back().type, 0);

    host.ClearRecords();
    host.RunLine("tas_update");
    EXPECT_TRUE(host.Toasts().empty());
}

TEST_F(RunEngineTest, RunningOutAt300AndRecording40Gives340Inputs) {
    RunWithInputs(300);
    StartReplay();
    Tick(300);
    Tick(40, Input(-1));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 340u);
    EXPECT_EQ(Run().Data.Inputs[299].Throttle, 299.0f);
    EXPECT_EQ(Run().Data.Inputs[300].Throttle, -1.0f);
    EXPECT_TRUE(Run().InputsApplied);
}

TEST_F(RunEngineTest, CommandsThatDoNotApplyDoNothing) {
    RunWithInputs(5);
    host.RunLine("tas_stopandupdate; tas_update; tas_stop; tas_changespeed extra args");
    EXPECT_TRUE(host.Transcript().empty());
    StartReplay();
    host.RunLine("tas_update");
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, ChangeSpeedTogglesOnlyTheSpeed) {
    RunWithInputs(50);
    host.RunLine("tas_recordspeed 0.25; tas_replayspeed 0.75");
    EXPECT_TRUE(Executed().empty());
    StartReplay();
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.250000");
    EXPECT_EQ(Plugin().SpeedMode(), 2);
    EXPECT_EQ(Run().State, TasState::Replaying);
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.750000");
    EXPECT_EQ(Plugin().SpeedMode(), 1);
    host.RunLine("tas_stop");
    host.ClearRecords();
    host.RunLine("tas_changespeed");
    EXPECT_TRUE(Executed().empty());
}

TEST_F(RunEngineTest, SpeedChangesApplyAtOnceOnlyForTheSpeedInForce) {
    RunWithInputs(50);
    StartReplay();
    host.RunLine("tas_recordspeed 0.5");
    EXPECT_TRUE(Executed().empty());
    host.RunLine("tas_replayspeed 2");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 2.000000");
    Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.500000");
    host.RunLine("tas_recordspeed 3e38");
    EXPECT_EQ(Executed().back(),
              "sv_soccar_gamespeed 300000000549775575777803994281145270272.000000");
    host.RunLine("tas_recordspeed -3.4028235e38");
    EXPECT_EQ(Executed().back(),
              "sv_soccar_gamespeed -340282346638528859811704183484516925440.000000");
    host.RunLine("tas_recordspeed -1");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed -1.000000");
    EXPECT_EQ(host.GameSpeed(), -1.0f);
}

TEST_F(RunEngineTest, RoundStartStopsAndRestartsWithAutoReplay) {
    RunWithInputs(50);
    StartReplay();
    Tick(5);
    host.RoundStart();
    EXPECT_EQ(Run().State, TasState::Stopped);
    host.Wait(0.2);
    EXPECT_EQ(Run().State, TasState::Stopped);

    host.RunLine("tas_autoreplay 1");
    StartReplay();
    Tick(5);
    host.RoundStart();
    host.Wait(0.2);
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Run().CurrentFrame, 0u);

    World().freeplay = false;
    host.RoundStart();
    EXPECT_EQ(Run().State, TasState::Replaying);
}

TEST_F(RunEngineTest, TeardownWhileReplayingRestoresNormalSpeed) {
    RunWithInputs(50);
    StartReplay();
    World().freeplay = false;
    host.DestroyGameEvent();
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
}

TEST_F(RunEngineTest, UnloadWhileReplayingOrRestartingRestoresSpeedOne) {
    host.RunLine("tas_replayspeed 0.5");
    for (bool restarting : {false, true}) {
        RunWithInputs(50);
        StartReplay();
        if (restarting) {
            host.RunLine("tas_start");
            ASSERT_EQ(Run().State, TasState::Stopped);
        }
        EXPECT_EQ(host.GameSpeed(), 0.5f);
        host.UnloadPlugin();
        EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
        EXPECT_EQ(host.GameSpeed(), 1.0f);
        ASSERT_TRUE(host.LoadPlugin(exports));
    }
    host.ClearRecords();
    host.UnloadPlugin();
    EXPECT_TRUE(Executed().empty());
    ASSERT_TRUE(host.LoadPlugin(exports));
}

TEST_F(RunEngineTest, DamagedTeleportBeyondTheEndLeavesTicksUntouched) {
    RunWithInputs(3, {9});
    StartReplay();
    host.Teleport({});
    EXPECT_EQ(Run().CurrentFrame, 9u);
    Tick(4, Input(0.5f, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(UsedThrottle(), 0.5f);
    EXPECT_EQ(Run().State, TasState::Replaying);
}

// The merged run built by hand: frames before `from` kept, then `tail`.
void ExpectFrames(const std::vector<VehicleInput>& run, const std::vector<VehicleInput>& kept,
                  uint64_t from, const std::vector<VehicleInput>& tail) {
    ASSERT_EQ(run.size(), from + tail.size());
    for (size_t i = 0; i < run.size(); ++i) {
        const VehicleInput& expected = i < from ? kept[i] : tail[i - from];
        EXPECT_EQ(std::memcmp(&run[i], &expected, sizeof(VehicleInput)), 0) << "frame " << i;
    }
}

TEST_F(RunEngineTest, RerecordSeeksAtItsSpeedPastHeldControlsAndSplicesTheNewTail) {
    RunWithInputs(100, {30, 80});
    const std::vector<VehicleInput> old = Run().Data.Inputs;
    host.RunLine("tas_seekspeed 4; tas_recordspeed 0.5; tas_replayspeed 0.75");
    host.RunLine("tas_checkthrottle 1; tas_checksteer 1; tas_checkjump 1");
    host.RunLine("tas_rerecordfrom 60");
    EXPECT_EQ(Run().State, TasState::Stopped);
    host.Wait(0.2);
    ASSERT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Executed(), std::vector<std::string>{"sv_soccar_gamespeed 4.000000"});
    EXPECT_EQ(Plugin().SpeedMode(), 3);

    // Every watched control held through the seek: the run drives the car.
    VehicleInput held = Input(0.9f, VehicleInputFlag::ActivateBoost | VehicleInputFlag::Jump);
    held.Steer = 1.0f;
    Tick(30, held);
    EXPECT_EQ(UsedThrottle(), 29.0f);
    Tick(3, held); // the teleport frame is held until its teleport
    EXPECT_EQ(Run().CurrentFrame, 30u);
    EXPECT_EQ(UsedThrottle(), 30.0f);
    host.Teleport({0, 0, 17});
    Tick(30, held);
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Run().CurrentFrame, 60u);
    EXPECT_EQ(UsedThrottle(), 59.0f);
    EXPECT_TRUE(host.Logs().empty());

    // Frame 60: the tick's own input is the first recorded one.
    const VehicleInput first = Input(-1, VehicleInputFlag::ActivateBoost);
    Tick(1, first);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 60u);
    EXPECT_EQ(LastLog(), "Re-recording from frame 60");
    EXPECT_EQ(UsedThrottle(), -1.0f);
    EXPECT_EQ(Executed(), (std::vector<std::string>{"sv_soccar_gamespeed 4.000000",
                                                    "sv_soccar_gamespeed 0.500000"}));
    EXPECT_EQ(Plugin().SpeedMode(), 2);
    EXPECT_FALSE(Run().RerecordFrame);
    Tick(9, Input(-2));
    host.Teleport({});
    Tick(5, Input(-3));
    host.RunLine("tas_stopandupdate");

    std::vector<VehicleInput> tail{first};
    tail.insert(tail.end(), 9, Input(-2));
    tail.insert(tail.end(), 5, Input(-3));
    ExpectFrames(Run().Data.Inputs, old, 60, tail);
    EXPECT_EQ(Run().Data.TeleportFrames, (std::vector<uint64_t>{30, 70}));
}

TEST_F(RunEngineTest, RerecordAtATeleportFrameTakesOverOnceItsTeleportCame) {
    RunWithInputs(20, {10});
    const std::vector<VehicleInput> old = Run().Data.Inputs;
    host.RunLine("tas_rerecordfrom 10");
    host.Wait(0.2);
    Tick(10);
    Tick(3, Input(0, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(Run().CurrentFrame, 10u);
    EXPECT_EQ(UsedThrottle(), 10.0f);
    host.Teleport({0, 0, 17});
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(LastLog(), "Re-recording from frame 10");
    Tick(4, Input(-2));
    host.RunLine("tas_stopandupdate");
    ExpectFrames(Run().Data.Inputs, old, 10,
                 {Input(-1), Input(-2), Input(-2), Input(-2), Input(-2)});
    EXPECT_EQ(Run().Data.TeleportFrames, std::vector<uint64_t>{10}) << "the teleport came first";

    // The merged run holds at frame 10 for the teleport, then plays the new frame.
    StartReplay();
    Tick(12);
    EXPECT_EQ(Run().CurrentFrame, 10u);
    host.Teleport({0, 0, 17});
    Tick(1);
    EXPECT_EQ(UsedThrottle(), -1.0f);
    EXPECT_EQ(Run().CurrentFrame, 11u);
}

TEST_F(RunEngineTest, RerecordTakesOverWhereATeleportSkipsPastItsFrame) {
    RunWithInputs(20, {12});
    host.RunLine("tas_rerecordfrom 8");
    host.Wait(0.2);
    Tick(2);
    host.Teleport({});
    ASSERT_EQ(Run().CurrentFrame, 12u);
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 12u);
    EXPECT_EQ(LastLog(), "Re-recording from frame 12");
}

TEST_F(RunEngineTest, HoldGivingUpBeforeTheRerecordFrameEndsTheRerecordThere) {
    RunWithInputs(20, {5});
    host.RunLine("tas_replayspeed 0.75");
    host.RunLine("tas_rerecordfrom 15");
    host.Wait(0.2);
    Tick(5 + TeleportWaitTicks + 1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 5u);
    EXPECT_EQ(host.Logs(), std::vector<std::string>{
                               "Replay waited 2 s at frame 5 for a teleport that did not come"});
    EXPECT_FALSE(Run().RerecordFrame);
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.750000");
}

TEST_F(RunEngineTest, RerecordFromZeroRecordsFromTheFirstTick) {
    RunWithInputs(10);
    host.RunLine("tas_recordspeed 0.5");
    host.RunLine("tas_rerecordfrom 0");
    host.Wait(0.2);
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 0u);
    EXPECT_EQ(LastLog(), "Re-recording from frame 0");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.500000");
    Tick(2, Input(-2));
    host.RunLine("tas_stopandupdate");
    ExpectFrames(Run().Data.Inputs, {}, 0, {Input(-1), Input(-2), Input(-2)});
}

TEST_F(RunEngineTest, RerecordFromTheFrameCountRecordsAfterTheLastFrame) {
    RunWithInputs(5);
    const std::vector<VehicleInput> old = Run().Data.Inputs;
    host.RunLine("tas_rerecordfrom 6");
    EXPECT_EQ(LastLog(), "Frame 6 is past the end of the TAS (5 frames)");
    EXPECT_EQ(LastToast(), "Frame 6 is past the end of the TAS (5 frames)");
    EXPECT_EQ(host.Toasts().back().type, 3);
    host.Wait(0.2);
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_TRUE(Executed().empty());

    host.RunLine("tas_rerecordfrom 5");
    host.Wait(0.2);
    Tick(5, Input(0, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Run().State, TasState::Replaying);
    Tick(1, Input(-1));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(LastLog(), "Re-recording from frame 5");
    host.RunLine("tas_stopandupdate");
    ExpectFrames(Run().Data.Inputs, old, 5, {Input(-1)});
}

TEST_F(RunEngineTest, RerecordArgumentsThatAreNoFrameChangeNothing) {
    RunWithInputs(5);
    StartReplay();
    Tick(2);
    const std::pair<const char*, const char*> cases[] = {
        {"tas_rerecordfrom", "tas_rerecordfrom takes one frame number, as in tas_rerecordfrom 120"},
        {"tas_rerecordfrom 1 2",
         "tas_rerecordfrom takes one frame number, as in tas_rerecordfrom 120"},
        {"tas_rerecordfrom -1", "tas_rerecordfrom takes a frame number of 0 or more, not -1"},
        {"tas_rerecordfrom +1", "tas_rerecordfrom takes a frame number of 0 or more, not +1"},
        {"tas_rerecordfrom 1.5", "tas_rerecordfrom takes a frame number of 0 or more, not 1.5"},
        {"tas_rerecordfrom x", "tas_rerecordfrom takes a frame number of 0 or more, not x"},
        {"tas_rerecordfrom 99999999999999999999",
         "Frame 99999999999999999999 is past the end of the TAS (5 frames)"},
    };
    for (auto [line, message] : cases) {
        host.ClearRecords();
        host.RunLine(line);
        EXPECT_EQ(host.Logs(), std::vector<std::string>{message}) << line;
        EXPECT_EQ(LastToast(), message) << line;
        EXPECT_EQ(Run().State, TasState::Replaying) << line;
        EXPECT_TRUE(Executed().empty()) << line;
    }
    host.Wait(0.2);
    EXPECT_EQ(Run().CurrentFrame, 2u);
    EXPECT_FALSE(Run().RerecordFrame);
}

TEST_F(RunEngineTest, StopStartRoundStartAndLoadEndARerecordBeforeItsFrame) {
    RunWithInputs(50);
    Plugin().SaveTas();
    host.RunLine("tas_rerecordfrom 30");
    host.Wait(0.2);
    Tick(10);
    host.RunLine("tas_stop");
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 1");
    EXPECT_EQ(Plugin().SpeedMode(), 0);
    EXPECT_FALSE(Run().RerecordFrame);
    EXPECT_TRUE(Run().InputsApplied);

    // What ends it: each followed by a plain replay, which passes frame 30.
    const std::function<void()> ends[] = {
        [&] { host.RunLine("tas_start"); },
        [&] {
            host.RunLine("tas_autoreplay 1");
            host.RoundStart();
        },
        [&] {
            Plugin().LoadTas(Plugin().FileIndex("run"));
            host.RunLine("tas_start");
        },
    };
    for (size_t i = 0; i < std::size(ends); ++i) {
        host.RunLine("tas_rerecordfrom 30");
        ends[i]();
        EXPECT_FALSE(Run().RerecordFrame) << i;
        host.Wait(0.2);
        ASSERT_EQ(Run().State, TasState::Replaying) << i;
        EXPECT_EQ(Plugin().SpeedMode(), 1) << i;
        Tick(35);
        EXPECT_EQ(Run().State, TasState::Replaying) << i;
        EXPECT_EQ(Run().CurrentFrame, 35u) << i;
        Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
        EXPECT_EQ(Run().State, TasState::Recording) << i << ": a touch takes over again";
    }
}

TEST_F(RunEngineTest, SeekSpeedIsInForceUntilTheRerecordFrame) {
    RunWithInputs(50);
    host.RunLine("tas_seekspeed 3; tas_recordspeed 0.25; tas_replayspeed 0.75");
    EXPECT_TRUE(Executed().empty());
    host.RunLine("tas_rerecordfrom 20");
    host.Wait(0.2);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 3.000000");
    host.RunLine("tas_seekspeed 2");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 2.000000");
    host.ClearRecords();
    host.RunLine("tas_replayspeed 0.5");
    EXPECT_TRUE(Executed().empty());
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.250000");
    EXPECT_EQ(Plugin().SpeedMode(), 2);
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 2.000000");
    EXPECT_EQ(Plugin().SpeedMode(), 3);
    EXPECT_EQ(host.GameSpeed(), 2.0f);
    Tick(21);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.250000");
    host.RunLine("tas_seekspeed 4"); // no longer in force
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.250000");
    host.RunLine("tas_changespeed");
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.500000") << "the seek is over";
    EXPECT_EQ(Plugin().SpeedMode(), 1);
}

class ReplayCheckTest : public RunEngineTest {
protected:
    // A new run recorded from its start: straight ahead, then turning.
    void RecordDrive(int frames) {
        CaptureRun();
        StartReplay(); // no inputs: the first tick takes over
        VehicleInput turning = Input(1.0f);
        turning.Steer = 0.3f;
        Tick(frames / 2, Input(1.0f));
        Tick(frames - frames / 2, turning);
        host.RunLine("tas_stopandupdate");
        ASSERT_EQ(Run().Data.Inputs.size(), static_cast<size_t>(frames));
        host.ClearRecords();
    }
    ReplayCheckView Check() { return Plugin().ReplayCheck(); }
    std::vector<std::string> DriftLogs() {
        std::vector<std::string> lines;
        for (const auto& line : host.Logs()) {
            if (line.starts_with("Replay drifted")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
};

TEST_F(ReplayCheckTest, SavedAndReloadedRunReplaysFaithfullyWithoutReport) {
    RecordDrive(120);
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("run"));
    ASSERT_EQ(Run().Data.Trace.size(), 120u);
    EXPECT_EQ(Check().TraceFrames, 120u);
    EXPECT_EQ(Check().Last, ReplayCheckView::NoReplay);
    StartReplay();
    EXPECT_EQ(Check().Last, ReplayCheckView::Checking);
    Tick(121); // the last tick runs out and takes over
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 120u);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_TRUE(host.Toasts().empty());

    // Recorded boosting from a full tank: its keyframe 0, saved with it,
    // fills the tank again whatever the car holds.
    host.RunLine("tas_stop");
    CaptureRun("boosted");
    host.RunLine("sim_boost 100");
    StartReplay();
    Tick(240, Input(1.0f, VehicleInputFlag::ActivateBoost));
    host.RunLine("tas_stopandupdate");
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("boosted"));
    host.RunLine("sim_boost 0; tas_drifttolerance 0");
    host.ClearRecords();
    StartReplay();
    Tick(241);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 240u);
}

TEST_F(ReplayCheckTest, NudgeReportsItsFrameOnceAndTheToleranceDecides) {
    RecordDrive(100);
    StartReplay();
    Tick(40);
    host.Nudge({0.0f, 3.0f, 0.0f});
    Tick(30);
    host.Nudge({0.0f, 50.0f, 0.0f});
    Tick(20);
    EXPECT_EQ(DriftLogs(), std::vector<std::string>{"Replay drifted from the recording at frame "
                                                    "40: car 3.0 uu, ball 0.0 uu away"});
    ASSERT_EQ(host.Toasts().size(), 1u);
    EXPECT_EQ(host.Toasts()[0].text, "Replay drifted from the recording at frame 40");
    EXPECT_EQ(host.Toasts()[0].type, 2);
    EXPECT_EQ(Check().Last, ReplayCheckView::Drifted);
    EXPECT_EQ(Check().Frame, 40u);

    host.RunLine("tas_drifttolerance 5");
    // Refused values leave 5 in force, as the replay below shows.
    for (std::string refused : {"nan", "-1"}) {
        host.RunLine("tas_drifttolerance " + refused);
        EXPECT_EQ(LastLog(), "tas_drifttolerance must be a distance of 0 or more, not " + refused +
                                 ": it stays 5.000000");
        EXPECT_EQ(host.GetConsole().FindVariable("tas_drifttolerance")->value, "5");
    }
    StartReplay();
    Tick(40);
    host.Nudge({0.0f, 3.0f, 0.0f});
    Tick(61);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 100u);

    // A take-over ends the check: the recording goes where the player drives.
    host.RunLine("tas_drifttolerance 1");
    StartReplay();
    Tick(30);
    Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
    host.Nudge({0.0f, 50.0f, 0.0f});
    Tick(20);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 30u);
}

TEST_F(ReplayCheckTest, SplicedRunsTraceIsWhereItsReplayGoes) {
    RecordDrive(100);
    StartReplay();
    Tick(50);
    Tick(30, Input(0.2f, VehicleInputFlag::ActivateBoost));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 80u);
    ASSERT_EQ(Run().Data.Trace.size(), 80u);

    StartReplay();
    for (size_t frame = 0; frame < 80; ++frame) {
        const TraceEntry& traced = Run().Data.Trace[frame];
        const sim::Car& car = *World().LocalCar();
        using Bits = std::array<uint32_t, 3>;
        ASSERT_EQ(std::bit_cast<Bits>(car.location), std::bit_cast<Bits>(traced.CarLocation))
            << "frame " << frame;
        EXPECT_EQ(car.rotation.Yaw, traced.CarRotation.Yaw) << "frame " << frame;
        EXPECT_EQ(car.velocity.X, traced.CarVelocity.X) << "frame " << frame;
        EXPECT_EQ(World().GetBall()->location.Z, traced.BallLocation.Z) << "frame " << frame;
        EXPECT_EQ(traced.HasBall, 1u);
        Tick(1);
    }
    EXPECT_TRUE(DriftLogs().empty());
}

TEST_F(ReplayCheckTest, TakeOverDuringATeleportHoldReplaysAsRecorded) {
    // Recorded: 40 frames, a teleport, 40 more turning.
    CaptureRun();
    StartReplay();
    Tick(40, Input(1.0f));
    host.Teleport({0.0f, 0.0f, 17.0f});
    VehicleInput turning = Input(1.0f);
    turning.Steer = 0.3f;
    Tick(40, turning);
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.TeleportFrames, std::vector<uint64_t>{40});

    // Replayed, the teleport does not come: 12 held ticks move the car, then
    // the player takes over.
    StartReplay();
    Tick(40 + 12);
    ASSERT_EQ(Run().CurrentFrame, 40u);
    Tick(1, Input(0.5f, VehicleInputFlag::ActivateBoost));
    Tick(20, Input(-1.0f));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 40u + 12 + 21);
    for (size_t frame = 40; frame < 52; ++frame) {
        EXPECT_EQ(Run().Data.Inputs[frame].Steer, 0.3f) << "held frame " << frame;
    }
    EXPECT_EQ(Run().Data.Inputs[52].Throttle, 0.5f);
    EXPECT_TRUE(Run().Data.TeleportFrames.empty());
    ASSERT_EQ(Run().Data.Trace.size(), Run().Data.Inputs.size());

    // Its replay goes exactly where the recording went.
    host.RunLine("tas_drifttolerance 0");
    host.ClearRecords();
    StartReplay();
    Tick(74);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_TRUE(DriftLogs().empty()) << DriftLogs()[0];
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 73u);
}

TEST_F(ReplayCheckTest, QuickSeekPlacesTheLastKeyframeAndFallsBackToFrameZeroOnDrift) {
    RecordDrive(1000);
    ASSERT_EQ(Run().Data.Keyframes.size(), 9u) << "frames 0, 120, ..., 960";
    host.RunLine("tas_drifttolerance 0");
    const auto rerecordFrom970 = [&] {
        host.ClearRecords();
        host.RunLine("tas_rerecordfrom 970");
        host.Wait(0.2);
        ASSERT_EQ(Run().State, TasState::Replaying);
    };
    // Placed at 960: ten checked frames, then the take-over.
    rerecordFrom970();
    EXPECT_EQ(host.Logs(), std::vector<std::string>{"Placed at keyframe 960 for frame 970"});
    EXPECT_EQ(Run().CurrentFrame, 960u);
    Tick(10);
    Tick(1, Input(-1.0f));
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(LastLog(), "Re-recording from frame 970");
    EXPECT_EQ(Check().From, 960u);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    Tick(29, Input(-1.0f));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 1000u);
    // The merged run replays faithful from frame 0.
    host.ClearRecords();
    StartReplay();
    Tick(1001);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().From, 0u);
    EXPECT_EQ(Check().Frame, 1000u);

    // A nudge during the checked frames, and a keyframe missing a field: the
    // seek goes on from frame 0, and still takes over at 970.
    for (const bool nudged : {true, false}) {
        host.RunLine("tas_stop");
        Keyframe& last = Run().Data.Keyframes.back();
        const Vector velocity = last.CarVelocity;
        if (!nudged) {
            last.CarVelocity = {};
        }
        rerecordFrom970();
        if (nudged) {
            Tick(5);
            host.Nudge({0.0f, 3.0f, 0.0f});
        }
        Tick(nudged ? 1 : 2);
        EXPECT_EQ(LastLog(), fmt::format("Quick seek from frame 960 drifted at frame {}: "
                                         "seeking from frame 0",
                                         nudged ? 965 : 961));
        last.CarVelocity = velocity;
        host.Wait(0.2);
        ASSERT_EQ(Run().State, TasState::Replaying);
        EXPECT_EQ(Run().CurrentFrame, 0u);
        EXPECT_EQ(Check().From, 0u);
        Tick(970);
        EXPECT_EQ(Run().State, TasState::Replaying);
        Tick(1, Input(-1.0f));
        EXPECT_EQ(LastLog(), "Re-recording from frame 970");
    }

    // Play from a frame: sought from its keyframe, then played to the end.
    host.RunLine("tas_stop; tas_seekspeed 4; tas_replayspeed 0.5");
    host.ClearRecords();
    host.RunLine("tas_playfrom 500");
    host.Wait(0.2);
    EXPECT_EQ(host.Logs(), (std::vector<std::string>{"Placed at keyframe 480 for frame 500",
                                                     "Playing from frame 500"}));
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 4.000000");
    Tick(20);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 4.000000");
    Tick(1);
    EXPECT_EQ(Executed().back(), "sv_soccar_gamespeed 0.500000");
    Tick(500); // frames 501 to 999, then the take-over at the end
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().From, 480u);

    // Without quick seek, both seek from frame 0.
    host.RunLine("tas_stop; tas_quickseek 0");
    rerecordFrom970();
    EXPECT_TRUE(host.Logs().empty());
    EXPECT_EQ(Run().CurrentFrame, 0u);
}

// Placed in the air with jump held since frame 100: the car holds frame
// 119's input meanwhile, so frame 120's held jump is no new press.
TEST_F(ReplayCheckTest, AQuickSeekWhileJumpIsHeldGoesOnAsRecorded) {
    CaptureRun();
    StartReplay();
    Tick(100, Input(1.0f));
    Tick(60, Input(1.0f, VehicleInputFlag::Jump));
    Tick(40, Input(1.0f));
    host.RunLine("tas_stopandupdate; tas_drifttolerance 0");
    host.ClearRecords();
    host.RunLine("tas_rerecordfrom 130");
    Tick(24); // the game's ticks go on while the car is placed
    ASSERT_EQ(Run().State, TasState::Replaying);
    Tick(11);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(host.Logs(), (std::vector<std::string>{"Placed at keyframe 120 for frame 130",
                                                     "Re-recording from frame 130"}));
}

TEST_F(ReplayCheckTest, RunWithoutATraceIsNotChecked) {
    RunWithInputs(50);
    StartReplay();
    EXPECT_EQ(Check().Last, ReplayCheckView::Unchecked);
    host.Nudge({0.0f, 500.0f, 0.0f});
    Tick(10);
    EXPECT_TRUE(DriftLogs().empty());
    host.RunLine("tas_stop");
    EXPECT_EQ(Check().Last, ReplayCheckView::Unchecked);
}

class HistoryTest : public ReplayCheckTest {
protected:
    // The run as its file and trace hold it, with its name.
    static std::string BytesOf(const Tas& run) {
        std::ostringstream bytes;
        WriteTas(bytes, run.Data);
        bytes << run.Name << '\n';
        bytes.write(reinterpret_cast<const char*>(run.Data.Trace.data()),
                    static_cast<std::streamsize>(run.Data.Trace.size() * sizeof(TraceEntry)));
        bytes << '|';
        bytes.write(reinterpret_cast<const char*>(run.Data.Keyframes.data()),
                    static_cast<std::streamsize>(run.Data.Keyframes.size() * sizeof(Keyframe)));
        for (const Marker& marker : run.Data.Markers) {
            bytes << '|' << marker.Frame << ' ' << marker.Text;
        }
        return bytes.str();
    }
    std::string RunBytes() { return BytesOf(Run()); }
    // With the take-over recorded and not applied, if any.
    std::string StateBytes() {
        std::string bytes = RunBytes();
        if (!Run().InputsApplied) {
            bytes += "pending at " + std::to_string(Run().CurrentFrame) + ':';
            for (size_t i = 0; i < Run().PendingInputs.size(); ++i) {
                bytes.append(reinterpret_cast<const char*>(&Run().PendingInputs[i]),
                             sizeof(VehicleInput));
            }
        }
        return bytes;
    }
    // Renames the run as the page does: in place under the lock, then committed.
    void Rename(const std::string& name) {
        std::string old;
        {
            std::lock_guard lock(Plugin().RunLock());
            old = std::exchange(Run().Name, name);
        }
        Plugin().Editor().CommitRename(old, Plugin().Editor().Generation());
    }
    // Undoes or redoes until there is nothing left: how many it did.
    int All(const char* line, const char* nothing) {
        int done = 0;
        for (host.RunLine(line); LastLog() != nothing && done < 1000; host.RunLine(line)) {
            ++done;
        }
        return done;
    }
    // Unloads the plugin and recovers its unsaved run in a new session on the
    // same folder: the recovered run's bytes and the session's log.
    std::pair<std::string, std::vector<std::string>> UnloadAndRecover() {
        host.UnloadPlugin();
        sim::Host again(data.path());
        EXPECT_TRUE(again.LoadPlugin(exports));
        again.RunLine("tas_recover");
        const std::string bytes =
            BytesOf(GyrologTestAccess{*static_cast<Gyrolog*>(again.Plugin())}.Run());
        const std::vector<std::string> logs = again.Logs();
        again.UnloadPlugin();
        return {bytes, logs};
    }
    // Replays frames, then records ticks of boost and stops.
    void TakeOver(int frames, int ticks) {
        StartReplay();
        Tick(frames);
        Tick(ticks, Input(-1.0f, VehicleInputFlag::ActivateBoost));
        host.RunLine("tas_stop");
    }
    void Say(const std::string& line, const std::string& said) {
        host.RunLine(line);
        EXPECT_EQ(LastLog(), said) << line;
    }
};

TEST_F(HistoryTest, UpdatesAreUndoneAndRedoneByteForByte) {
    RecordDrive(300);
    const std::string recorded = RunBytes();
    TakeOver(240, 96);
    host.RunLine("tas_update");
    ASSERT_EQ(Run().Data.Inputs.size(), 336u);
    const std::string updated = RunBytes();

    Say("tas_undo", "Undone: update at frame 240, 60 frames replaced by 96");
    EXPECT_EQ(RunBytes(), recorded);
    EXPECT_EQ(Check().TraceFrames, 300u);
    EXPECT_TRUE(Plugin().Unsaved());
    Say("tas_redo", "Redone: update at frame 240, 60 frames replaced by 96");
    EXPECT_EQ(RunBytes(), updated);
    Say("tas_redo", "Nothing to redo");
    Say("tas_undo", "Undone: update at frame 240, 60 frames replaced by 96");
    Say("tas_undo", "Undone: update at frame 0, 0 frames replaced by 300");
    EXPECT_TRUE(Run().Data.Inputs.empty());
    EXPECT_TRUE(Run().Data.Trace.empty());
    Say("tas_undo", "Nothing to undo");

    // A new change after undos drops what they could redo.
    Say("tas_redo", "Redone: update at frame 0, 0 frames replaced by 300");
    EXPECT_EQ(RunBytes(), recorded);
    TakeOver(100, 10);
    host.RunLine("tas_update");
    Say("tas_redo", "Nothing to redo");
    Say("tas_undo", "Undone: update at frame 100, 200 frames replaced by 10");
    EXPECT_EQ(RunBytes(), recorded);

    // Markers past the merged run's end go with the frames it drops.
    host.RunLine("tas_marker 109 kept; tas_marker 110 dropped");
    TakeOver(100, 10);
    host.RunLine("tas_update");
    EXPECT_EQ(Run().Data.Markers, (std::vector<Marker>{{109, "kept"}}));
    Say("tas_undo", "Undone: update at frame 100, 200 frames replaced by 10");
    EXPECT_EQ(Run().Data.Markers, (std::vector<Marker>{{109, "kept"}, {110, "dropped"}}));
}

TEST_F(HistoryTest, TakeOversThrownAwayOrPendingComeBackReadyForUpdate) {
    RecordDrive(100);
    TakeOver(50, 20);
    ASSERT_FALSE(Run().InputsApplied);
    // Pending and not applied, the take-over is the change an undo takes back.
    Say("tas_undo", "Undone: take-over of 20 frames at frame 50");
    EXPECT_TRUE(Run().InputsApplied);
    EXPECT_TRUE(Run().PendingInputs.empty());
    Say("tas_redo", "Redone: take-over of 20 frames at frame 50");
    EXPECT_FALSE(Run().InputsApplied);
    EXPECT_EQ(Run().PendingInputs.size(), 20u);

    Plugin().SaveTas();
    EXPECT_EQ(LastLog(), "run saved without the take-over of 20 frames, which is not applied");
    ASSERT_EQ(host.Toasts().size(), 2u);
    EXPECT_EQ(host.Toasts()[0].text, "run saved to file");
    EXPECT_EQ(LastToast(), "Saved without the take-over: Update first to keep it");
    EXPECT_EQ(host.Toasts().back().type, 2);
    host.ClearRecords();

    StartReplay(); // throws the take-over away
    Say("tas_undo", "");
    EXPECT_EQ(LastToast(), "Stop the TAS before undoing");
    EXPECT_EQ(host.Toasts().back().type, 3);
    host.RunLine("tas_redo");
    EXPECT_EQ(host.Toasts().size(), 2u);
    EXPECT_EQ(host.Toasts().back().text, "Stop the TAS before undoing");
    host.RunLine("tas_stop");
    ASSERT_TRUE(Run().InputsApplied);
    Say("tas_undo", "Undone: take-over of 20 frames at frame 50 thrown away");
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_FALSE(Run().InputsApplied);
    EXPECT_EQ(Run().CurrentFrame, 50u);
    ASSERT_EQ(Run().PendingInputs.size(), 20u);
    Say("tas_redo", "Redone: take-over of 20 frames at frame 50 thrown away");
    EXPECT_TRUE(Run().InputsApplied);
    host.RunLine("tas_undo");
    host.RunLine("tas_update");
    ASSERT_EQ(Run().Data.Inputs.size(), 70u);
    EXPECT_EQ(Run().Data.Inputs[49].Throttle, 1.0f);
    EXPECT_EQ(Run().Data.Inputs[50].Throttle, -1.0f);
    EXPECT_EQ(Run().Data.Trace.size(), 70u);
}

TEST_F(HistoryTest, AReplacedRunComesBackWithItsNameStateAndHistory) {
    RecordDrive(120);
    const std::string recorded = RunBytes();
    Plugin().CreateNewTas("second");
    ASSERT_EQ(Run().Name, "second");
    EXPECT_FALSE(Plugin().Unsaved());
    Say("tas_undo", "Undone: new TAS second");
    EXPECT_EQ(RunBytes(), recorded);
    EXPECT_TRUE(Plugin().Unsaved());
    EXPECT_EQ(Check().TraceFrames, 120u);
    Say("tas_undo", "Undone: update at frame 0, 0 frames replaced by 120");
    Say("tas_redo", "Redone: update at frame 0, 0 frames replaced by 120");
    Say("tas_redo", "Redone: new TAS second");
    EXPECT_EQ(Run().Name, "second");
    EXPECT_TRUE(Run().Data.Inputs.empty());
    EXPECT_FALSE(Plugin().Unsaved());

    // A saved run comes back saved, over the run a load put in its place.
    host.RunLine("tas_undo");
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    Plugin().CreateNewTas("third");
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("run"));
    Say("tas_undo", "Undone: load of run");
    EXPECT_EQ(Run().Name, "third");
    EXPECT_FALSE(Plugin().Unsaved());
    Say("tas_undo", "Undone: new TAS third");
    EXPECT_EQ(RunBytes(), recorded);
    EXPECT_FALSE(Plugin().Unsaved());

    // A file cut short after 7 bytes loads as an empty run: the load over it
    // is a step too.
    WriteFile(RunFolder() / "cut.data", FileBytes(RunFolder() / "run.data").substr(0, 7));
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("cut"));
    ASSERT_EQ(Run().Data.Hitbox, HitboxType::Other);
    Plugin().LoadTas(Plugin().FileIndex("third"));
    Say("tas_undo", "Undone: load of third");
    EXPECT_EQ(Run().Name, "cut");
    Say("tas_undo", "Undone: load of cut");
    EXPECT_EQ(RunBytes(), recorded);
}

TEST_F(HistoryTest, UndoingATakeOverAnUndoBroughtBackKeepsWhatCanBeRedone) {
    RecordDrive(200);
    const std::string first = StateBytes();
    host.RunLine("tas_rerecordfrom 100");
    Tick(100 + 50);
    host.RunLine("tas_stop");
    StartReplay(); // throws the take-over away
    host.RunLine("tas_stop");
    host.RunLine("tas_setinput 0 5 steer 1");
    const std::string last = StateBytes();
    EXPECT_EQ(All("tas_undo", "Nothing to undo"), 4);
    EXPECT_TRUE(Run().Data.Inputs.empty()) << "the run as it was captured";
    EXPECT_EQ(All("tas_redo", "Nothing to redo"), 4);
    EXPECT_EQ(StateBytes(), last);
    All("tas_undo", "Nothing to undo");
    host.RunLine("tas_redo");
    EXPECT_EQ(StateBytes(), first);
}

// Whatever the changes, undoing them all gives the first run back and redoing
// them all the last, also when a replay traced frames the trace did not cover
// between them.
TEST_F(HistoryTest, AnySequenceOfChangesIsUndoneAndRedoneWhole) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        host.UnloadPlugin(); // each sequence from the empty run the plugin starts with
        ASSERT_TRUE(host.LoadPlugin(exports));
        std::mt19937 random(seed);
        const auto below = [&](size_t n) {
            return n == 0 ? 0 : random() % n;
        };
        const std::string prefix = "s" + std::to_string(seed);
        CaptureRun(prefix);
        const std::string first = StateBytes();
        std::string last = first;
        for (int op = 0; op < 50; ++op) {
            const auto seen = [&] {
                const RunEditor& editor = Plugin().Editor();
                return StateBytes() + '|' + editor.UndoText() + '|' + editor.RedoText() + '|' +
                       std::to_string(editor.History().Size());
            };
            const std::string before = seen();
            const size_t frames = Run().Data.Inputs.size();
            const std::string frame = std::to_string(below(frames));
            switch (const unsigned kind = random() % 16) {
            case 0: // thrown away
            case 1: // pending
                TakeOver(static_cast<int>(below(frames + 1)), 1 + static_cast<int>(below(20)));
                if (kind == 0) {
                    StartReplay();
                    host.RunLine("tas_stop");
                }
                break;
            case 2:
                host.RunLine("tas_update");
                break;
            case 3:
                host.RunLine("tas_setinput " + frame + ' ' + frame + " steer 0." +
                             std::to_string(below(10)));
                break;
            case 4:
                host.RunLine("tas_insertframes " + frame + ' ' + std::to_string(1 + below(5)) +
                             (below(2) ? " copy" : ""));
                break;
            case 5:
                host.RunLine("tas_deleteframes " + frame + ' ' + frame);
                break;
            case 6:
                Rename(prefix + "r" + std::to_string(op));
                break;
            case 7:
                if (below(2)) {
                    Plugin().SaveTas();
                    Plugin().RefreshTasFiles();
                    Plugin().LoadTas(static_cast<int>(below(Plugin().Files().size())));
                } else {
                    Plugin().CreateNewTas(prefix + "n" + std::to_string(op));
                }
                break;
            case 8: // as a replay grows the trace over frames it did not cover
            case 9:
                for (size_t at = Run().Data.Trace.size(), end = frames;
                     Run().InputsApplied && at < end; ++at) {
                    Run().Data.Trace.emplace_back().CarLocation.X = static_cast<float>(op);
                    if (at % 4 == 0) { // denser than a replay's: these runs are short
                        Run().Data.Keyframes.emplace_back().Frame = at;
                        Run().Data.Keyframes.back().Boost = static_cast<float>(op);
                    }
                }
                break;
            case 10:
                host.RunLine((below(2) ? "tas_marker " + frame + " m" : "tas_unmarker " + frame));
                break;
            default:
                host.RunLine(below(2) ? "tas_undo" : "tas_redo");
                continue;
            }
            if (seen() != before) {
                last = StateBytes();
            }
        }
        All("tas_undo", "Nothing to undo");
        EXPECT_EQ(StateBytes(), first);
        All("tas_redo", "Nothing to redo");
        EXPECT_EQ(StateBytes(), last);
        for (const std::string& line : host.Logs()) {
            EXPECT_FALSE(line.starts_with("History full")) << line;
        }
        host.ClearRecords();
    }
}

TEST_F(HistoryTest, TheOldestStepsGoBeyondAHundred) {
    RecordDrive(10);
    for (int update = 0; update < 105; ++update) {
        TakeOver(10 + update, 1);
        host.RunLine("tas_update");
    }
    EXPECT_EQ(Plugin().History().Size(), 100u);
    EXPECT_EQ(LastLog(), "History full: its oldest step, update at frame 14, 0 frames replaced "
                         "by 1, is forgotten");
    for (int undo = 0; undo < 100; ++undo) {
        host.RunLine("tas_undo");
    }
    EXPECT_EQ(Run().Data.Inputs.size(), 15u);
    Say("tas_undo", "Nothing to undo");
}

TEST_F(HistoryTest, WhatAnUndoLeavesIsKeptForRecovery) {
    RecordDrive(300);
    Plugin().SaveTas();
    const std::string saved = RunBytes();
    TakeOver(240, 96);
    host.RunLine("tas_update");
    host.RunLine("tas_undo");
    EXPECT_TRUE(Plugin().Unsaved());
    const auto [recovered, logs] = UnloadAndRecover();
    EXPECT_EQ(LastLog(), "Unsaved run run kept for recovery");
    EXPECT_EQ(std::count(logs.begin(), logs.end(),
                         "Unsaved run run found: 300 frames (tas_recover loads it, "
                         "tas_discardrecovery drops it)"),
              1);
    EXPECT_EQ(recovered, saved);
}

TEST_F(HistoryTest, FrameEditsAreStepsAndKeptForRecovery) {
    RecordDrive(200);
    Plugin().SaveTas();
    std::vector<std::string> runs{RunBytes()};
    for (const char* edit : {"tas_setinput 100 119 steer 0.5", "tas_marker 120  flip  here",
                             "tas_insertframes 50 10 copy", "tas_deleteframes 0 4"}) {
        host.RunLine(edit);
        runs.push_back(RunBytes());
    }
    ASSERT_EQ(Run().Data.Inputs.size(), 205u);
    EXPECT_EQ(Run().Data.Trace.size(), 0u) << "an edit at frame 0 keeps no trace";
    EXPECT_EQ(Run().Data.Markers, (std::vector<Marker>{{125, "flip here"}}));
    Say("tas_undo", "Undone: deleted frames 0 to 4");
    EXPECT_EQ(RunBytes(), runs[3]);
    Say("tas_undo", "Undone: inserted 10 copies of frame 50 at 50");
    EXPECT_EQ(RunBytes(), runs[2]);
    EXPECT_EQ(Check().TraceFrames, 100u);
    Say("tas_undo", "Undone: marker at frame 120: flip here");
    EXPECT_EQ(RunBytes(), runs[1]);
    EXPECT_EQ(Check().TraceFrames, 100u) << "a marker changes no frame";
    Say("tas_undo", "Undone: set steer to 0.5 on frames 100 to 119");
    EXPECT_EQ(RunBytes(), runs[0]);
    for (int redo = 0; redo < 4; ++redo) {
        host.RunLine("tas_redo");
    }
    EXPECT_EQ(RunBytes(), runs[4]);
    host.RunLine("tas_undo");
    Say("tas_unmarker 130", "Removed the marker at frame 130");
    EXPECT_TRUE(Run().Data.Markers.empty());
    Say("tas_undo", "Undone: removed the marker at frame 130");
    const auto [recovered, logs] = UnloadAndRecover();
    EXPECT_EQ(logs.back(), "Unsaved run run recovered: 210 frames");
    EXPECT_EQ(recovered, runs[3]);
}

// The frame edits of the console: tas_setinput, tas_insertframes,
// tas_deleteframes.
class FrameEditCommandTest : public ReplayCheckTest {
protected:
    std::string InputBytes() {
        const auto& inputs = Run().Data.Inputs;
        return std::string(reinterpret_cast<const char*>(inputs.data()),
                           inputs.size() * sizeof(VehicleInput));
    }
    // The line is refused with this console line and changes nothing.
    void ExpectRefused(const std::string& line, const std::string& why) {
        const std::string before = InputBytes();
        const auto teleports = Run().Data.TeleportFrames;
        const auto markers = Run().Data.Markers;
        host.ClearRecords();
        host.RunLine(line);
        EXPECT_EQ(host.Logs(), std::vector<std::string>{why}) << line;
        EXPECT_TRUE(host.Errors().empty()) << line;
        EXPECT_EQ(InputBytes(), before) << line;
        EXPECT_EQ(Run().Data.TeleportFrames, teleports) << line;
        EXPECT_EQ(Run().Data.Markers, markers) << line;
    }
    void ExpectRefusedWithToast(const std::string& line, const std::string& why) {
        ExpectRefused(line, why);
        ASSERT_EQ(host.Toasts().size(), 1u) << line;
        EXPECT_EQ(host.Toasts()[0].text, why);
        EXPECT_EQ(host.Toasts()[0].type, 3);
    }
};

TEST_F(FrameEditCommandTest, SetInputSetsTheControlOnItsFramesAndSaysSo) {
    RunWithInputs(200, {50, 150});
    host.RunLine("tas_setinput 100 119 steer 0.5");
    EXPECT_EQ(LastLog(), "Set steer to 0.5 on frames 100 to 119");
    EXPECT_TRUE(host.Toasts().empty());
    for (size_t frame = 0; frame < 200; ++frame) {
        EXPECT_EQ(Run().Data.Inputs[frame].Steer, frame >= 100 && frame < 120 ? 0.5f : 0.0f);
        EXPECT_EQ(Run().Data.Inputs[frame].Throttle, static_cast<float>(frame));
    }
    host.RunLine("tas_setinput 7 7 activate_boost 1");
    EXPECT_EQ(LastLog(), "Set activate_boost to 1 on frame 7");
    EXPECT_EQ(Run().Data.Inputs[7].Flags, VehicleInputFlag::ActivateBoost);
    host.RunLine("tas_setinput 0 199 throttle -1");
    EXPECT_EQ(LastLog(), "Set throttle to -1 on frames 0 to 199");
    EXPECT_EQ(Run().Data.Inputs[199].Throttle, -1.0f);
    EXPECT_EQ(Run().Data.TeleportFrames, (std::vector<uint64_t>{50, 150}));
    EXPECT_EQ(Check().RunFrames, 200u);

    // The edited run is unsaved work: it is kept for recovery.
    host.ClearRecords();
    host.UnloadPlugin();
    EXPECT_EQ(LastLog(), "Unsaved run run kept for recovery");
    ASSERT_TRUE(host.LoadPlugin(exports));
}

TEST_F(FrameEditCommandTest, InsertAndDeleteMoveTheTeleportsAndMarkersWithTheirFrames) {
    RunWithInputs(100, {20, 60});
    host.RunLine("tas_marker 60 sixty");
    host.RunLine("tas_marker 20 at first");
    host.RunLine("tas_marker 20 at twenty");
    EXPECT_EQ(LastLog(), "Marker at frame 20: at twenty");
    host.RunLine("tas_insertframes 50 10");
    EXPECT_EQ(LastLog(), "Inserted 10 neutral frames at 50");
    ASSERT_EQ(Run().Data.Inputs.size(), 110u);
    EXPECT_EQ(Run().Data.Inputs[59].Throttle, 0.0f);
    EXPECT_EQ(Run().Data.Inputs[60].Throttle, 50.0f);
    EXPECT_EQ(Run().Data.TeleportFrames, (std::vector<uint64_t>{20, 70}));
    EXPECT_EQ(Run().Data.Markers, (std::vector<Marker>{{20, "at twenty"}, {70, "sixty"}}));

    host.RunLine("tas_insertframes 0 2 copy");
    EXPECT_EQ(LastLog(), "Inserted 2 copies of frame 0 at 0");
    host.RunLine("tas_insertframes 112 1 neutral");
    EXPECT_EQ(LastLog(), "Inserted 1 neutral frame at 112");
    ASSERT_EQ(Run().Data.Inputs.size(), 113u);
    EXPECT_EQ(Run().Data.TeleportFrames, (std::vector<uint64_t>{22, 72}));

    host.RunLine("tas_deleteframes 10 29");
    EXPECT_EQ(LastLog(), "Deleted frames 10 to 29");
    ASSERT_EQ(Run().Data.Inputs.size(), 93u);
    EXPECT_EQ(Run().Data.Inputs[10].Throttle, 28.0f);
    EXPECT_EQ(Run().Data.TeleportFrames, std::vector<uint64_t>{52}) << "the one at 22 went";
    EXPECT_EQ(Run().Data.Markers, (std::vector<Marker>{{52, "sixty"}}));
    host.RunLine("tas_deleteframes 92 92");
    EXPECT_EQ(LastLog(), "Deleted frame 92");
    EXPECT_EQ(Check().RunFrames, 92u);
    EXPECT_TRUE(host.Toasts().empty());
}

TEST_F(FrameEditCommandTest, BadArgumentsAreRefusedWithTheirReason) {
    RunWithInputs(200);
    const std::string controls = "throttle, steer, pitch, yaw, roll, flip_forward, flip_sideways, "
                                 "handbrake, jump, activate_boost, boost_held, jump_held";
    const std::string longText = std::string(200, 'x') + " y";
    const std::pair<std::string, std::string> cases[] = {
        {"tas_setinput 1 2 steer",
         "Usage: tas_setinput FROM TO CONTROL VALUE, CONTROL one of " + controls},
        {"tas_setinput 1 2 steer 0.5 1", "Usage: tas_setinput FROM TO CONTROL VALUE, CONTROL one "
                                         "of " +
                                             controls},
        {"tas_setinput x 2 steer 0.5", "tas_setinput: FROM must be a frame number, not \"x\""},
        {"tas_setinput 1 -2 steer 0.5", "tas_setinput: TO must be a frame number, not \"-2\""},
        {"tas_setinput 1 2x steer 0.5", "tas_setinput: TO must be a frame number, not \"2x\""},
        {"tas_setinput 1 2 wheel 0.5",
         "tas_setinput: there is no control \"wheel\", CONTROL is one of " + controls},
        {"tas_setinput 1 2 steer abc", "tas_setinput: VALUE \"abc\" is not a number"},
        {"tas_setinput 1 2 steer 0.5.", "tas_setinput: VALUE \"0.5.\" is not a number"},
        {"tas_setinput 1 2 steer 1e99", "tas_setinput: VALUE \"1e99\" does not fit a 32-bit float"},
        {"tas_setinput 1 2 steer nan", "tas_setinput: steer must be from -1 to 1, not nan"},
        {"tas_setinput 1 2 roll -inf", "tas_setinput: roll must be from -1 to 1, not -inf"},
        {"tas_setinput 1 2 throttle 1.5", "tas_setinput: throttle must be from -1 to 1, not 1.5"},
        {"tas_setinput 1 2 jump 2", "tas_setinput: jump must be 0 or 1, not 2"},
        {"tas_setinput 1 200 steer 0.5",
         "tas_setinput: frame 200 is past the run's last frame, 199"},
        {"tas_setinput 9 5 steer 0.5", "tas_setinput: frame 9 comes after frame 5"},
        {"tas_insertframes 5", "Usage: tas_insertframes AT COUNT [neutral|copy], neutral when "
                               "left out"},
        {"tas_insertframes 5 2 blank",
         "tas_insertframes: the frames are neutral or copy, not \"blank\""},
        {"tas_insertframes five 2", "tas_insertframes: AT must be a frame number, not \"five\""},
        {"tas_insertframes 5 -1", "tas_insertframes: COUNT must be a number of frames, not \"-1\""},
        {"tas_insertframes 5 0",
         "tas_insertframes: the count must be from 1 to 432000 frames, not 0"},
        {"tas_insertframes 201 1", "tas_insertframes: frame 201 is past the run's end, 200"},
        {"tas_deleteframes 5", "Usage: tas_deleteframes FROM TO"},
        {"tas_deleteframes 9 5", "tas_deleteframes: frame 9 comes after frame 5"},
        {"tas_deleteframes 0 200", "tas_deleteframes: frame 200 is past the run's last frame, 199"},
        {"tas_marker 5", "Usage: tas_marker F TEXT, TEXT the rest of the line"},
        {"tas_marker x go", "tas_marker: F must be a frame number, not \"x\""},
        {"tas_marker 200 go", "tas_marker: frame 200 is past the run's last frame, 199"},
        {"tas_marker 5 " + longText, "tas_marker: A marker is at most 200 bytes"},
        {"tas_unmarker", "Usage: tas_unmarker F"},
        {"tas_unmarker 5 6", "Usage: tas_unmarker F"},
        {"tas_unmarker 5", "tas_unmarker: Frame 5 has no marker"},
        {"tas_unmarker 200", "tas_unmarker: frame 200 is past the run's last frame, 199"},
    };
    for (const auto& [line, why] : cases) {
        ExpectRefused(line, why);
        EXPECT_TRUE(host.Toasts().empty()) << line;
    }
    // Texts the console cannot type, as the page hands them over.
    for (const auto& [text, why] :
         {std::pair{"", "A marker needs a text"}, std::pair{"a\nb", "A marker is one line"},
          std::pair{"a\r", "A marker is one line"}}) {
        host.ClearRecords();
        Plugin().Editor().EditFromPage(
            [text = std::string(text)](const TasData& run) { return SetMarker(run, 5, text); });
        EXPECT_EQ(LastLog(), why);
        EXPECT_EQ(LastToast(), why);
        EXPECT_TRUE(Run().Data.Markers.empty());
    }
}

TEST_F(FrameEditCommandTest, EditsAreRefusedWhileTheRunPlaysRecordsOrWaitsForUpdate) {
    const char* edits[] = {"tas_setinput 1 2 steer 0.5", "tas_insertframes 1 1",
                           "tas_deleteframes 1 2", "tas_marker 1 go", "tas_unmarker 1"};
    for (const char* line : edits) {
        ExpectRefusedWithToast(line, "Load or create a TAS before editing");
    }
    RunWithInputs(100);
    StartReplay();
    for (const char* line : edits) {
        ExpectRefusedWithToast(line, "Stop the TAS before editing");
    }
    Tick(10);
    Tick(1, Input(0, VehicleInputFlag::ActivateBoost));
    ASSERT_EQ(Run().State, TasState::Recording);
    for (const char* line : edits) {
        ExpectRefusedWithToast(line, "Stop the TAS before editing");
        EXPECT_EQ(Run().PendingInputs.size(), 1u);
    }
    host.RunLine("tas_stop");
    for (const char* line : edits) {
        ExpectRefusedWithToast(line, "Apply the new inputs with Update before editing");
    }
    // Refused before the arguments are read.
    ExpectRefusedWithToast("tas_setinput", "Apply the new inputs with Update before editing");
    host.RunLine("tas_update");
    host.ClearRecords();
    host.RunLine("tas_deleteframes 1 2");
    EXPECT_EQ(LastLog(), "Deleted frames 1 to 2");
}

TEST_F(FrameEditCommandTest, AnEditKeepsTheTraceBeforeItAndReplaysAreCheckedThatFar) {
    RecordDrive(120);
    ASSERT_EQ(Check().TraceFrames, 120u);
    host.RunLine("tas_setinput 60 119 steer -0.3");
    EXPECT_EQ(LastLog(), "Set steer to -0.3 on frames 60 to 119");
    ASSERT_EQ(Run().Data.Trace.size(), 60u);
    EXPECT_EQ(Check().TraceFrames, 60u);
    EXPECT_EQ(Check().RunFrames, 120u);

    // Before frame 60 a drift is found, and that replay traces nothing more.
    StartReplay();
    Tick(30);
    host.Nudge({0.0f, 3.0f, 0.0f});
    Tick(91);
    EXPECT_EQ(DriftLogs(), std::vector<std::string>{"Replay drifted from the recording at frame "
                                                    "30: car 3.0 uu, ball 0.0 uu away"});
    EXPECT_EQ(Check().Last, ReplayCheckView::Drifted);
    EXPECT_EQ(Run().Data.Trace.size(), 60u);

    // A teleport that moves the replay past the traced frames: no more
    // frames than the trace has count as checked, and the frames it skipped
    // leave the trace as it was.
    host.RunLine("tas_stop");
    Run().Data.TeleportFrames = {100};
    StartReplay();
    Tick(10);
    host.Teleport({});
    ASSERT_EQ(Run().CurrentFrame, 100u);
    Tick(10);
    host.RunLine("tas_stop");
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 60u);
    EXPECT_EQ(Run().Data.Trace.size(), 60u);
    Run().Data.TeleportFrames.clear();

    // The replay turns the other way from frame 60 on, where the trace ends:
    // checked as faithful up to there, it traces the frames after it.
    host.ClearRecords();
    StartReplay();
    Tick(60);
    EXPECT_EQ(Check().Last, ReplayCheckView::Checking);
    Tick(1);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 60u);
    Tick(60);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_TRUE(DriftLogs().empty());
    EXPECT_EQ(Run().Data.Trace.size(), 120u);
    EXPECT_EQ(Check().TraceFrames, 120u);
    EXPECT_EQ(Run().Data.Keyframes.size(), 1u) << "frame 0's, kept from the recording";

    // The next replay is checked on every frame.
    host.RunLine("tas_stop");
    StartReplay();
    Tick(90);
    host.Nudge({0.0f, 3.0f, 0.0f});
    Tick(31);
    EXPECT_EQ(DriftLogs(), std::vector<std::string>{"Replay drifted from the recording at frame "
                                                    "90: car 3.0 uu, ball 0.0 uu away"});
}

TEST_F(FrameEditCommandTest, APrefixTraceIsSavedAndLoadedBackTiedToItsRun) {
    RecordDrive(120);
    host.RunLine("tas_deleteframes 100 109");
    ASSERT_EQ(Run().Data.Trace.size(), 100u);
    const std::vector<TraceEntry> trace = Run().Data.Trace;
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    Plugin().LoadTas(Plugin().FileIndex("run"));
    EXPECT_EQ(host.Logs(), std::vector<std::string>{}) << "no trace ignored";
    ASSERT_EQ(Run().Data.Inputs.size(), 110u);
    ASSERT_EQ(Run().Data.Trace.size(), 100u);
    EXPECT_EQ(std::memcmp(Run().Data.Trace.data(), trace.data(), 100 * sizeof(TraceEntry)), 0);
    EXPECT_EQ(Check().TraceFrames, 100u);
    EXPECT_EQ(Check().RunFrames, 110u);
    StartReplay();
    Tick(111);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 100u);
    // It traced the frames after them; the run is its file, so the grown
    // trace is written beside it, off the game thread.
    Plugin().Editor().BeforeRunFileChanges();
    Tick(1);
    EXPECT_EQ(host.Logs().back(), "Trace of run written beside its run file: 110 of 110 frames");
    Plugin().LoadTas(Plugin().FileIndex("run"));
    EXPECT_EQ(Run().Data.Trace.size(), 110u);

    // The trace's digest covers the whole run: a frame after the traced
    // ones changed in the file unties it.
    host.RunLine("tas_stop");
    TasData edited;
    {
        std::ifstream in(RunFolder() / "run.data", std::ios::binary);
        ASSERT_EQ(ReadTasData(in, edited).outcome, ReadOutcome::Loaded);
    }
    edited.Inputs[105].Yaw = 1.0f;
    {
        std::ofstream out(RunFolder() / "run.data", std::ios::binary | std::ios::trunc);
        WriteTas(out, edited);
    }
    host.ClearRecords();
    Plugin().LoadTas(Plugin().FileIndex("run"));
    EXPECT_EQ(host.Logs(),
              std::vector<std::string>{"Trace of run ignored, replays are not checked: it was "
                                       "recorded with other inputs, starting states or hitbox"});
    EXPECT_TRUE(Run().Data.Trace.empty());
    EXPECT_EQ(Check().TraceFrames, 0u);
}

TEST_F(FrameEditCommandTest, ATakeOverAfterTheTracedFramesKeepsThemTraced) {
    RecordDrive(120);
    host.RunLine("tas_setinput 80 119 steer 0");
    ASSERT_EQ(Check().TraceFrames, 80u);
    // Taken over at 100, past the trace: the replay traced frames 80 to 99
    // as it played them, so the merged run is traced throughout.
    StartReplay();
    Tick(100);
    Tick(20, Input(0.5f, VehicleInputFlag::ActivateBoost));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 120u);
    EXPECT_EQ(Run().Data.Trace.size(), 120u);
    EXPECT_EQ(Check().TraceFrames, 120u);
    host.ClearRecords();
    StartReplay();
    Tick(121);
    EXPECT_EQ(Check().Last, ReplayCheckView::Faithful);
    EXPECT_EQ(Check().Frame, 120u);

    // Taken over at 50, inside it: traced throughout again.
    host.RunLine("tas_stop");
    StartReplay();
    Tick(50);
    Tick(30, Input(0.5f, VehicleInputFlag::ActivateBoost));
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 80u);
    EXPECT_EQ(Run().Data.Trace.size(), 80u);
    EXPECT_EQ(Check().TraceFrames, 80u);
    EXPECT_EQ(Check().RunFrames, 80u);
}

} // namespace
