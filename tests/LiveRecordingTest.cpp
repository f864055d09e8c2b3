#include "LiveRecording.h"

#include <gtest/gtest.h>

TEST(LiveRecordingTest, CopiesTheNewestFramesItStillHolds) {
    LiveRecording live;
    live.Begin(50);
    live.Teleport(52);
    for (uint64_t k = 0; k < LiveRecording::Capacity + 10; ++k) {
        VehicleInput input;
        input.Throttle = static_cast<float>(k);
        live.Add(input, TraceEntry{});
    }
    live.Teleport(2108); // drops the one of a frame no longer held
    LiveRecording::Copy copy;
    live.CopyFrames(0, 5, copy);
    EXPECT_EQ(copy.From, 50u);
    EXPECT_EQ(copy.Recorded, LiveRecording::Capacity + 10);
    EXPECT_EQ(copy.First, 10u);
    EXPECT_EQ(copy.InputOf(9), nullptr);
    ASSERT_NE(copy.InputOf(14), nullptr);
    EXPECT_EQ(copy.InputOf(14)->Throttle, 14.0f);
    EXPECT_EQ(copy.InputOf(15), nullptr);
    EXPECT_EQ(copy.Teleports, std::vector<uint64_t>{2108});
    live.CopyFrames(LiveRecording::Capacity + 8, 5, copy);
    EXPECT_EQ(copy.Inputs.size(), 2u);
    live.Begin(7);
    EXPECT_EQ(live.Status().Recorded, 0u);
}
