#include "runs/Tas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>

namespace {

VehicleInput Frame(float throttle) {
    VehicleInput input;
    input.Throttle = throttle;
    return input;
}

void Record(ChunkedVector<VehicleInput>& pending, size_t count, VehicleInput input) {
    for (size_t i = 0; i < count; ++i) {
        pending.push_back(input);
    }
}

// Four records a chunk, so that a few records cross chunk boundaries.
using SmallChunks = ChunkedVector<uint32_t, 16>;

TEST(TasTest, ChunkedRecordsNeverMoveAndReadBackInOrder) {
    static_assert(SmallChunks::ChunkSize == 4);
    SmallChunks records;
    EXPECT_TRUE(records.empty());
    records.push_back(0);
    const uint32_t* first = &records[0];
    const uint32_t* fourth = nullptr;
    for (uint32_t i = 1; i < 11; ++i) {
        records.push_back(i * 10);
        if (i == 3) {
            fourth = &records[3];
        }
    }
    ASSERT_EQ(records.size(), 11u);
    EXPECT_EQ(&records[0], first);
    EXPECT_EQ(&records[3], fourth);
    for (uint32_t i = 0; i < 11; ++i) {
        EXPECT_EQ(records[i], i * 10) << i;
    }
    std::vector<uint32_t> merged = {7};
    records.AppendTo(merged);
    ASSERT_EQ(merged.size(), 12u);
    EXPECT_EQ(merged[0], 7u);
    EXPECT_EQ(merged[1], 0u);
    EXPECT_EQ(merged[4], 30u);
    EXPECT_EQ(merged[11], 100u);
}

TEST(TasTest, ClearedRecordsReuseTheirChunksAndMovedOnesLeaveNone) {
    SmallChunks records;
    for (uint32_t i = 0; i < 6; ++i) {
        records.push_back(i);
    }
    const uint32_t* first = &records[0];
    records.clear();
    EXPECT_TRUE(records.empty());
    std::vector<uint32_t> none;
    records.AppendTo(none);
    EXPECT_TRUE(none.empty());
    records.push_back(9);
    EXPECT_EQ(&records[0], first);
    EXPECT_EQ(records.size(), 1u);

    SmallChunks taken = std::move(records);
    EXPECT_EQ(taken.size(), 1u);
    EXPECT_EQ(&taken[0], first);
    EXPECT_TRUE(records.empty()); // NOLINT(bugprone-use-after-move): moving leaves it empty
    records.push_back(5);
    EXPECT_EQ(records[0], 5u);
    EXPECT_EQ(taken[0], 9u);
}

TEST(TasTest, FreshRunIsEmptyAndUnnamed) {
    // Built over dirty memory: a member without its own initial value shows.
    alignas(Tas) unsigned char memory[sizeof(Tas)];
    std::memset(memory, 0xA5, sizeof memory);
    Tas& tas = *new (memory) Tas;
    EXPECT_TRUE(tas.Name.empty());
    EXPECT_TRUE(tas.Data.Inputs.empty());
    EXPECT_TRUE(tas.Data.TeleportFrames.empty());
    EXPECT_FALSE(tas.Data.CarStart.Enabled);
    EXPECT_FALSE(tas.Data.BallStart.Enabled);
    EXPECT_EQ(tas.Data.CarStart.Location.X, 0.0f);
    EXPECT_EQ(tas.Data.Hitbox, HitboxType::Other);
    EXPECT_STREQ(HitboxName(tas.Data.Hitbox), "Other");
    EXPECT_EQ(tas.Data.AirSensitivity, 1.0f);
    EXPECT_EQ(tas.Data.SteerSensitivity, 1.0f);
    EXPECT_EQ(tas.State, TasState::Stopped);
    EXPECT_TRUE(tas.InputsApplied);
    EXPECT_EQ(tas.CurrentFrame, 0u);
    EXPECT_EQ(tas.NextTeleport, 0u);
    EXPECT_EQ(tas.Data.CarStart.Rotation.Yaw, 0);
    EXPECT_EQ(tas.Data.BallStart.AngularVelocity.Z, 0.0f);
    tas.~Tas();
}

TEST(TasTest, ResetKeepsTheNameAndEmptiesTheRest) {
    Tas tas;
    tas.Name = "kept";
    tas.NameEdit = "edit";
    tas.Data.Inputs.assign(5, Frame(1));
    tas.Data.TeleportFrames = {2};
    tas.Data.CarStart.Enabled = true;
    tas.Data.Hitbox = HitboxType::Merc;
    Record(tas.PendingInputs, 3, Frame(1));
    tas.PendingTeleportFrames = {4};
    tas.CurrentFrame = 4;
    tas.NextTeleport = 1;
    tas.State = TasState::Recording;
    tas.InputsApplied = false;
    tas.RerecordFrame = 4;
    tas.Reset();
    EXPECT_FALSE(tas.RerecordFrame);
    EXPECT_EQ(tas.Name, "kept");
    EXPECT_EQ(tas.NameEdit, "edit");
    EXPECT_TRUE(tas.Data.Inputs.empty());
    EXPECT_TRUE(tas.Data.TeleportFrames.empty());
    EXPECT_FALSE(tas.Data.CarStart.Enabled);
    EXPECT_EQ(tas.Data.Hitbox, HitboxType::Other);
    EXPECT_TRUE(tas.PendingInputs.empty());
    EXPECT_TRUE(tas.PendingTeleportFrames.empty());
    EXPECT_EQ(tas.CurrentFrame, 0u);
    EXPECT_EQ(tas.NextTeleport, 0u);
    EXPECT_EQ(tas.State, TasState::Stopped);
    EXPECT_TRUE(tas.InputsApplied);
}

TEST(TasTest, MoveTakesArraysAndLeavesSourceEmpty) {
    TasData source;
    source.Inputs.assign(3, Frame(0.5f));
    source.TeleportFrames = {1, 2};
    source.Hitbox = HitboxType::Plank;
    source.AirSensitivity = 1.5f;
    source.BallStart.Enabled = true;
    TasData target;
    target.Inputs.assign(10, Frame(1));
    target = std::move(source);
    EXPECT_EQ(target.Inputs.size(), 3u);
    EXPECT_EQ(target.TeleportFrames, (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(target.Hitbox, HitboxType::Plank);
    EXPECT_EQ(target.AirSensitivity, 1.5f);
    EXPECT_TRUE(target.BallStart.Enabled);
    EXPECT_TRUE(source.Inputs.empty());
    EXPECT_TRUE(source.TeleportFrames.empty());
}

TEST(TasTest, MoveOntoItselfChangesNothing) {
    TasData data;
    data.Inputs.assign(4, Frame(0.25f));
    data.TeleportFrames = {3};
    TasData& alias = data;
    data = std::move(alias);
    EXPECT_EQ(data.Inputs.size(), 4u);
    EXPECT_EQ(data.Inputs[3].Throttle, 0.25f);
    EXPECT_EQ(data.TeleportFrames, (std::vector<uint64_t>{3}));
}

TEST(TasTest, MergeSplicesPendingAtCurrentFrame) {
    // The teleport at the take-over frame stays only if the replay had
    // consumed it; one it was still holding for never happened.
    const std::pair<uint64_t, std::vector<uint64_t>> cases[] = {
        {2, {40, 100, 110}},
        {1, {40, 110}},
    };
    for (const auto& [nextTeleport, expected] : cases) {
        Tas tas;
        for (int i = 0; i < 150; ++i) {
            tas.Data.Inputs.push_back(Frame(static_cast<float>(i)));
        }
        tas.Data.TeleportFrames = {40, 100, 120};
        tas.CurrentFrame = 100;
        tas.NextTeleport = nextTeleport;
        Record(tas.PendingInputs, 30, Frame(-1));
        tas.PendingTeleportFrames = {110};
        tas.InputsApplied = false;
        tas.MergePending();
        ASSERT_EQ(tas.Data.Inputs.size(), 130u);
        EXPECT_EQ(tas.Data.Inputs[99].Throttle, 99.0f);
        EXPECT_EQ(tas.Data.Inputs[100].Throttle, -1.0f);
        EXPECT_EQ(tas.Data.TeleportFrames, expected) << nextTeleport;
        EXPECT_TRUE(tas.PendingInputs.empty());
        EXPECT_TRUE(tas.PendingTeleportFrames.empty());
        EXPECT_TRUE(tas.InputsApplied);
        EXPECT_EQ(tas.CurrentFrame, 100u);
        EXPECT_EQ(tas.NextTeleport, nextTeleport);
    }
}

TEST(TasTest, RecordingFromTheStartMergesItsTraceUnlessTheTraceWasDropped) {
    for (bool dropped : {false, true}) {
        Tas tas;
        tas.Data.Inputs.assign(4, Frame(1));
        tas.Data.Trace.assign(4, TraceEntry{});
        for (int tick = 0; tick < 3; ++tick) {
            tas.PendingInputs.push_back(Frame(2));
            tas.PendingTrace.push_back(TraceEntry{});
        }
        tas.InputsApplied = false;
        if (dropped) {
            tas.DropTrace(); // the start changed while this was recorded
            EXPECT_TRUE(tas.Data.Trace.empty());
        }
        tas.MergePending();
        EXPECT_EQ(tas.Data.Inputs.size(), 3u);
        EXPECT_EQ(tas.Data.HasTrace(), !dropped);
        tas.Reset();
        EXPECT_FALSE(tas.RecordedFromOtherStart);
    }
}

TEST(TasTest, MergeBeyondTheEndFillsTheGapWithZeroInputs) {
    Tas tas;
    tas.Data.Inputs.assign(2, Frame(1));
    tas.CurrentFrame = 4;
    Record(tas.PendingInputs, 1, Frame(3));
    tas.MergePending();
    ASSERT_EQ(tas.Data.Inputs.size(), 5u);
    EXPECT_EQ(tas.Data.Inputs[2].Throttle, 0.0f);
    EXPECT_EQ(tas.Data.Inputs[4].Throttle, 3.0f);
}

TEST(TasTest, HitboxNamesAndExactExtents) {
    EXPECT_STREQ(HitboxName(HitboxType::Octane), "Octane");
    EXPECT_STREQ(HitboxName(HitboxType::Merc), "Merc");
    for (int value : {6, 7, -1}) {
        EXPECT_STREQ(HitboxName(static_cast<HitboxType>(value)), "Other");
    }
    uint32_t octaneBits = 0x427103C7;
    float octane;
    std::memcpy(&octane, &octaneBits, sizeof octane);
    EXPECT_EQ(HitboxFromExtent(octane), HitboxType::Octane);
    EXPECT_EQ(HitboxFromExtent(std::nextafter(octane, 100.0f)), std::nullopt);
    EXPECT_EQ(HitboxFromExtent(std::nanf("")), std::nullopt);
    EXPECT_EQ(HitboxFromExtent(61.6101151f), HitboxType::Merc);
}

} // namespace
