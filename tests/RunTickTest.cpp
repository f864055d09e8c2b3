// The run engine's host-free decisions: take-over, hold, teleport step, speed.
#include "RunTick.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

VehicleInput Live(float VehicleInput::*field, float value) {
    VehicleInput input{};
    input.*field = value;
    return input;
}

VehicleInput LiveFlags(uint32_t flags) {
    VehicleInput input{};
    input.Flags = flags;
    return input;
}

TEST(RunTickTest, OnlyAWatchedControlTouchedTakesOver) {
    WatchedControls all{true, true, true, true, true, true};
    const struct {
        VehicleInput live;
        bool WatchedControls::*watch;
    } cases[] = {
        {Live(&VehicleInput::Throttle, -0.1f), &WatchedControls::Throttle},
        {Live(&VehicleInput::Yaw, 0.5f), &WatchedControls::Steer},
        {Live(&VehicleInput::Pitch, NAN), &WatchedControls::Steer},
        {Live(&VehicleInput::Roll, 1.0f), &WatchedControls::AirRoll},
        {LiveFlags(VehicleInputFlag::Handbrake), &WatchedControls::Handbrake},
        {Live(&VehicleInput::FlipSideways, 1.0f), &WatchedControls::Jump},
        {LiveFlags(VehicleInputFlag::JumpHeld), &WatchedControls::Jump},
        {LiveFlags(VehicleInputFlag::BoostHeld), &WatchedControls::Boost},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(TouchesWatched(c.live, all));
        WatchedControls others = all;
        others.*c.watch = false;
        EXPECT_FALSE(TouchesWatched(c.live, others));
    }
    EXPECT_FALSE(TouchesWatched(Live(&VehicleInput::Steer, -0.0f), all));
}

TEST(RunTickTest, AReplayHoldsAtATeleportFrameUntilTheTeleportComes) {
    Tas run;
    run.Data.Inputs.assign(10, VehicleInput{});
    run.Data.Inputs[4].Throttle = 0.25f;
    run.Data.TeleportFrames = {4, 8};
    run.CurrentFrame = 3;
    EXPECT_EQ(HeldInput(run), nullptr);
    run.CurrentFrame = 4;
    ASSERT_NE(HeldInput(run), nullptr);
    EXPECT_EQ(HeldInput(run)->Throttle, 0.25f);

    run.RerecordFrame = 4;
    EXPECT_FALSE(RerecordFrameReached(run)); // the teleport held there comes first
    run.HeldTrace.resize(3);
    StepToTeleportFrame(run, false);
    EXPECT_EQ(run.CurrentFrame, 4u);
    EXPECT_EQ(run.NextTeleport, 1u);
    EXPECT_TRUE(run.HeldTrace.empty());
    EXPECT_TRUE(RerecordFrameReached(run));

    run.CurrentFrame = 6; // the same teleport reported again
    StepToTeleportFrame(run, true);
    EXPECT_EQ(run.CurrentFrame, 4u);
    EXPECT_EQ(run.NextTeleport, 1u);
    EXPECT_EQ(run.LiveFrame, 4u);
}

// A keyframe at a teleport frame was taken after its teleport: a replay
// placed there waits for the next one. A start waits for all of them.
TEST(RunTickTest, AQuickSeekPlacesTheLastKeyframeAndWaitsForTheTeleportsAfterIt) {
    Tas run;
    run.Data.Inputs.resize(400);
    run.Data.Trace.resize(300);
    run.Data.TeleportFrames = {0, 130, 240};
    for (uint64_t frame : {0, 120, 130, 240}) {
        Keyframe keyframe;
        keyframe.Frame = frame;
        run.Data.Keyframes.push_back(keyframe);
    }
    const struct {
        uint64_t frame;
        uint64_t keyframe;
        uint64_t nextTeleport;
    } cases[] = {{0, 0, 0}, {119, 0, 0}, {129, 120, 1}, {130, 130, 2}, {399, 240, 3}};
    for (const auto& c : cases) {
        const Keyframe* keyframe = QuickSeekKeyframe(run.Data, c.frame);
        ASSERT_NE(keyframe, nullptr) << c.frame;
        EXPECT_EQ(keyframe->Frame, c.keyframe) << c.frame;
        EXPECT_EQ(NextTeleportAfterPlacing(run.Data.TeleportFrames, keyframe->Frame),
                  c.nextTeleport)
            << c.frame;
    }
    run.Data.TraceStale = true; // a trace no longer the run's places nothing
    EXPECT_EQ(QuickSeekKeyframe(run.Data, 399), nullptr);
}

TEST(RunTickTest, ChangeSpeedSwapsRecordWithReplayOrSeek) {
    EXPECT_EQ(ToggledSpeed(GameSpeedMode::Replay, false), GameSpeedMode::Record);
    EXPECT_EQ(ToggledSpeed(GameSpeedMode::Seek, true), GameSpeedMode::Record);
    EXPECT_EQ(ToggledSpeed(GameSpeedMode::Record, false), GameSpeedMode::Replay);
    EXPECT_EQ(ToggledSpeed(GameSpeedMode::Record, true), GameSpeedMode::Seek);
    EXPECT_EQ(ToggledSpeed(GameSpeedMode::None, true), GameSpeedMode::None);
}

} // namespace
