#include "runs/record/Tas.h"
#include "TextRules.h"
#include "runs/edits/FrameEdits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

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

// Frame edits: each is worked out as a splice, which applied makes the edit
// and applied again undoes it.
namespace {

// Throttle is the frame number, the trace's car X too.
TasData EditedRun(size_t frames, std::vector<uint64_t> teleports = {}, size_t traced = 0) {
    TasData run;
    for (size_t i = 0; i < frames; ++i) {
        run.Inputs.push_back(Frame(static_cast<float>(i)));
    }
    run.TeleportFrames = std::move(teleports);
    for (size_t i = 0; i < traced; ++i) {
        TraceEntry entry;
        entry.CarLocation.X = static_cast<float>(i);
        run.Trace.push_back(entry);
    }
    return run;
}

template <typename T> std::string Bytes(const std::vector<T>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// Every byte of the frames, teleports and trace.
std::string RunBytes(const TasData& run) {
    return Bytes(run.Inputs) + "|" + Bytes(run.TeleportFrames) + "|" + Bytes(run.Trace);
}

std::vector<float> Throttles(const TasData& run) {
    std::vector<float> throttles;
    for (const VehicleInput& input : run.Inputs) {
        throttles.push_back(input.Throttle);
    }
    return throttles;
}

// Makes the edit, and checks that its undo gives back the run byte for byte
// and its redo the edited run.
void Make(TasData& run, const FrameEdit& edit) {
    ASSERT_TRUE(edit.Change) << edit.Error;
    EXPECT_TRUE(edit.Error.empty());
    RunSplice change = *edit.Change;
    const std::string before = RunBytes(run);
    ApplySplice(run, change);
    const std::string after = RunBytes(run);
    ApplySplice(run, change);
    EXPECT_EQ(RunBytes(run), before) << edit.What;
    ApplySplice(run, change);
    EXPECT_EQ(RunBytes(run), after) << edit.What;
}

void ExpectRefused(const FrameEdit& edit, const std::string& why) {
    EXPECT_FALSE(edit.Change) << why;
    EXPECT_TRUE(edit.What.empty()) << why;
    EXPECT_EQ(edit.Error, why);
}

} // namespace

TEST(FrameEditTest, ControlsAreNamedAsTheCsvColumns) {
    for (size_t i = 0; i < 12; ++i) {
        const auto control = static_cast<FrameControl>(i);
        EXPECT_EQ(ControlName(control), runtext::CsvColumns[runtext::FirstFloatColumn + i]);
        EXPECT_EQ(ControlByName(ControlName(control)), control);
        EXPECT_EQ(IsFlagControl(control),
                  i + runtext::FirstFloatColumn >= runtext::FirstFlagColumn);
    }
    for (const char* other : {"frame", "other_flags", "Steer", "steer ", ""}) {
        EXPECT_EQ(ControlByName(other), std::nullopt) << other;
    }
    EXPECT_EQ(ControlNames(), "throttle, steer, pitch, yaw, roll, flip_forward, flip_sideways, "
                              "handbrake, jump, activate_boost, boost_held, jump_held");
}

TEST(FrameEditTest, SetControlSplicesOnlyTheFramesItChanges) {
    TasData run = EditedRun(10, {3, 7}, 10);
    FrameEdit edit = SetControl(run, 4, 6, FrameControl::Steer, 0.5f);
    EXPECT_EQ(edit.What, "Set steer to 0.5 on frames 4 to 6");
    ASSERT_TRUE(edit.Change);
    EXPECT_EQ(edit.Change->At, 4u);
    EXPECT_EQ(edit.Change->Removed, 3u);
    EXPECT_EQ(edit.Change->TraceAt, 4u);
    Make(run, edit);
    for (size_t frame = 0; frame < 10; ++frame) {
        EXPECT_EQ(run.Inputs[frame].Steer, frame >= 4 && frame <= 6 ? 0.5f : 0.0f) << frame;
        EXPECT_EQ(run.Inputs[frame].Throttle, static_cast<float>(frame));
    }
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{3, 7}));
    EXPECT_EQ(run.Trace.size(), 4u) << "the trace before the first changed frame stays";
    EXPECT_EQ(run.TracedFrames(), 4u);

    // Frame 4 already has it: the first changed frame is 5, and so is the trace's end.
    // Frames 7 and 8 have it too: the splice ends before them.
    TasData traced = EditedRun(10, {}, 10);
    for (size_t frame : {4, 7, 8}) {
        traced.Inputs[frame].Steer = 0.5f;
    }
    edit = SetControl(traced, 4, 8, FrameControl::Steer, 0.5f);
    EXPECT_EQ(edit.Change->At, 5u);
    EXPECT_EQ(edit.Change->Removed, 2u);
    EXPECT_EQ(edit.Change->Inputs.size(), 2u);
    Make(traced, edit);
    EXPECT_EQ(traced.Trace.size(), 5u);

    // Nothing to change: the whole trace stays.
    TasData same = EditedRun(10, {}, 10);
    edit = SetControl(same, 0, 9, FrameControl::Yaw, 0.0f);
    EXPECT_EQ(edit.What, "Set yaw to 0 on frames 0 to 9");
    EXPECT_EQ(edit.Change->Removed, 0u);
    EXPECT_TRUE(edit.Change->Inputs.empty());
    Make(same, edit);
    EXPECT_EQ(same.Trace.size(), 10u);

    // A flag sets its bit only, on one frame; other bits stay.
    TasData flags = EditedRun(3);
    flags.Inputs[2].Flags = 0x100 | VehicleInputFlag::Handbrake;
    edit = SetControl(flags, 2, 2, FrameControl::Jump, 1.0f);
    EXPECT_EQ(edit.What, "Set jump to 1 on frame 2");
    Make(flags, edit);
    EXPECT_EQ(flags.Inputs[2].Flags, 0x100 | VehicleInputFlag::Handbrake | VehicleInputFlag::Jump);
    Make(flags, SetControl(flags, 0, 2, FrameControl::Handbrake, 0.0f));
    EXPECT_EQ(flags.Inputs[2].Flags, 0x100 | VehicleInputFlag::Jump);
    Make(flags, SetControl(flags, 0, 0, FrameControl::FlipSideways, -1.0f));
    EXPECT_EQ(flags.Inputs[0].FlipSideways, -1.0f);
}

TEST(FrameEditTest, SetControlRefusesValuesAndFramesWithTheirReason) {
    const TasData run = EditedRun(10);
    const float inf = std::numeric_limits<float>::infinity();
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Steer, 1.5f),
                  "steer must be from -1 to 1, not 1.5");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Throttle, -1.0001f),
                  "throttle must be from -1 to 1, not -1.0001");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Throttle, std::nanf("")),
                  "throttle must be from -1 to 1, not nan");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Roll, inf),
                  "roll must be from -1 to 1, not inf");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Pitch, -inf),
                  "pitch must be from -1 to 1, not -inf");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::Jump, 0.5f), "jump must be 0 or 1, not 0.5");
    ExpectRefused(SetControl(run, 0, 0, FrameControl::BoostHeld, std::nanf("")),
                  "boost_held must be 0 or 1, not nan");
    ExpectRefused(SetControl(run, 0, 10, FrameControl::Steer, 0.5f),
                  "frame 10 is past the run's last frame, 9");
    ExpectRefused(SetControl(run, 5, 4, FrameControl::Steer, 0.5f), "frame 5 comes after frame 4");
    ExpectRefused(SetControl(TasData(), 0, 0, FrameControl::Steer, 0.5f), "the run has no frames");
    EXPECT_TRUE(SetControl(run, 9, 9, FrameControl::Steer, -1.0f).Change);
    EXPECT_TRUE(SetControl(run, 0, 9, FrameControl::Yaw, 1.0f).Change);
}

TEST(FrameEditTest, ToggleSetsTheFlagUnlessEveryFrameHasIt) {
    TasData run = EditedRun(4);
    run.Inputs[1].Flags = VehicleInputFlag::Jump;
    run.Inputs[2].Flags = VehicleInputFlag::Jump;
    FrameEdit edit = ToggleFlag(run, 0, 3, FrameControl::Jump);
    EXPECT_EQ(edit.What, "Set jump to 1 on frames 0 to 3");
    Make(run, edit);
    for (const VehicleInput& input : run.Inputs) {
        EXPECT_EQ(input.Flags, VehicleInputFlag::Jump);
    }
    edit = ToggleFlag(run, 1, 2, FrameControl::Jump);
    EXPECT_EQ(edit.What, "Set jump to 0 on frames 1 to 2");
    Make(run, edit);
    EXPECT_EQ(run.Inputs[1].Flags, 0u);
    EXPECT_EQ(run.Inputs[3].Flags, VehicleInputFlag::Jump);
    ExpectRefused(ToggleFlag(run, 0, 0, FrameControl::Steer),
                  "steer is not a flag: only handbrake, jump, activate_boost, boost_held and "
                  "jump_held can be toggled");
    ExpectRefused(ToggleFlag(run, 0, 4, FrameControl::Jump),
                  "frame 4 is past the run's last frame, 3");
}

TEST(FrameEditTest, InsertedFramesMoveTheTeleportsAfterThem) {
    TasData run = EditedRun(10, {3, 5, 10}, 10);
    FrameEdit edit = InsertFrames(run, 5, 2, InsertFill::Neutral);
    EXPECT_EQ(edit.What, "Inserted 2 neutral frames at 5");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 4, 0, 0, 5, 6, 7, 8, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{3, 7, 12}));
    EXPECT_EQ(run.Trace.size(), 5u);

    run = EditedRun(10, {3, 5, 10}, 10);
    edit = InsertFrames(run, 5, 3, InsertFill::Copy);
    EXPECT_EQ(edit.What, "Inserted 3 copies of frame 5 at 5");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 4, 5, 5, 5, 5, 6, 7, 8, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{3, 8, 13}));

    // At the end: copies of the last frame, and the whole trace stays.
    run = EditedRun(10, {3, 5, 10}, 10);
    edit = InsertFrames(run, 10, 1, InsertFill::Copy);
    EXPECT_EQ(edit.What, "Inserted 1 copy of frame 9 at 10");
    Make(run, edit);
    EXPECT_EQ(Throttles(run).back(), 9.0f);
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{3, 5, 11}));
    EXPECT_EQ(run.TracedFrames(), 10u) << "a trace of the first 10 of 11 frames";

    ExpectRefused(InsertFrames(run, 12, 1, InsertFill::Neutral),
                  "frame 12 is past the run's end, 11");
    ExpectRefused(InsertFrames(run, 0, 0, InsertFill::Neutral),
                  "the count must be from 1 to 432000 frames, not 0");
    ExpectRefused(InsertFrames(run, 0, 432001, InsertFill::Copy),
                  "the count must be from 1 to 432000 frames, not 432001");
    TasData empty;
    ExpectRefused(InsertFrames(empty, 0, 1, InsertFill::Copy), "the run has no frame to copy");
    edit = InsertFrames(empty, 0, 1, InsertFill::Neutral);
    EXPECT_EQ(edit.What, "Inserted 1 neutral frame at 0");
    Make(empty, edit);
    EXPECT_EQ(empty.Inputs.size(), 1u);
}

TEST(FrameEditTest, DeletedFramesTakeTheirTeleportsAlong) {
    TasData run = EditedRun(10, {2, 4, 6, 7, 10}, 10);
    FrameEdit edit = DeleteFrames(run, 4, 6);
    EXPECT_EQ(edit.What, "Deleted frames 4 to 6");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 7, 8, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{2, 4, 7}));
    EXPECT_EQ(run.Trace.size(), 4u);

    edit = DeleteFrames(run, 0, 0);
    EXPECT_EQ(edit.What, "Deleted frame 0");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{1, 2, 3, 7, 8, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{1, 3, 6}));
    EXPECT_FALSE(run.HasTrace());

    Make(run, DeleteFrames(run, 0, 5));
    EXPECT_TRUE(run.Inputs.empty());
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{0}));
    ExpectRefused(DeleteFrames(run, 0, 0), "the run has no frames");
}

TEST(FrameEditTest, CopiedFramesPasteOverOrInserted) {
    const TasData source = EditedRun(10, {3, 8}, 10);
    const std::vector<VehicleInput> clip = CopyFrames(source, 2, 4);
    ASSERT_EQ(clip.size(), 3u);
    EXPECT_EQ(clip[0].Throttle, 2.0f);
    EXPECT_EQ(clip[2].Throttle, 4.0f);
    try {
        CopyFrames(source, 8, 10);
        ADD_FAILURE() << "copied past the end";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "frame 10 is past the run's last frame, 9");
    }

    TasData run = EditedRun(10, {3, 8}, 10);
    FrameEdit edit = PasteOver(run, 6, clip);
    EXPECT_EQ(edit.What, "Pasted 3 frames over frames 6 to 8");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 4, 5, 2, 3, 4, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{3, 8}));
    EXPECT_EQ(run.Trace.size(), 6u);

    // Past the end the run grows; at the end it is appended to.
    run = EditedRun(10, {3, 8}, 10);
    edit = PasteOver(run, 9, clip);
    EXPECT_EQ(edit.What, "Pasted 3 frames over frames 9 to 11");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 2, 3, 4}));
    EXPECT_EQ(run.Trace.size(), 9u);
    run = EditedRun(10, {3, 8}, 10);
    Make(run, PasteOver(run, 10, clip));
    EXPECT_EQ(run.Inputs.size(), 13u);
    EXPECT_EQ(run.TracedFrames(), 10u);

    run = EditedRun(10, {3, 8}, 10);
    edit = PasteInserted(run, 1, clip);
    EXPECT_EQ(edit.What, "Pasted 3 frames at 1");
    Make(run, edit);
    EXPECT_EQ(Throttles(run), (std::vector<float>{0, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(run.TeleportFrames, (std::vector<uint64_t>{6, 11}));
    EXPECT_EQ(run.Trace.size(), 1u);
    EXPECT_EQ(PasteInserted(run, 0, {clip[0]}).What, "Pasted 1 frame at 0");

    ExpectRefused(PasteOver(run, 14, clip), "frame 14 is past the run's end, 13");
    ExpectRefused(PasteInserted(run, 14, clip), "frame 14 is past the run's end, 13");
    ExpectRefused(PasteOver(run, 0, {}), "there are no frames to paste");
    ExpectRefused(PasteInserted(run, 0, {}), "there are no frames to paste");
}

TEST(FrameEditTest, SpliceThatDoesNotFitChangesNothing) {
    TasData run = EditedRun(10, {3}, 10);
    const std::string before = RunBytes(run);
    for (auto [at, removed] : {std::pair<uint64_t, uint64_t>{11, 0}, {5, 6}, {0, 11}}) {
        RunSplice change;
        change.At = at;
        change.Removed = removed;
        EXPECT_THROW(ApplySplice(run, change), std::out_of_range) << at << " " << removed;
        EXPECT_EQ(RunBytes(run), before);
    }
}

TEST(FrameEditTest, AnUndoAfterTheTraceWasCutLeavesTheTraceAsItIs) {
    TasData run = EditedRun(10, {}, 10);
    RunSplice change = *DeleteFrames(run, 6, 7).Change;
    ApplySplice(run, change);
    ASSERT_EQ(run.Trace.size(), 6u);
    ASSERT_EQ(change.TraceTail.size(), 4u);
    for (size_t cut : {3, 0}) {
        run.Trace.resize(cut); // dropped since, or cut by another edit
        RunSplice undo = change;
        ApplySplice(run, undo);
        EXPECT_EQ(Throttles(run), (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(run.Trace.size(), cut) << "frames 6 to 9 do not follow frame " << cut;
        EXPECT_TRUE(undo.TraceTail.empty());
        ApplySplice(run, undo); // the redo
        EXPECT_EQ(run.Inputs.size(), 8u);
        EXPECT_EQ(run.Trace.size(), cut);
    }
}

// A trace of the run's first frames through a merge.
TEST(TasTest, MergeKeepsWhatAPrefixTraceCoversBeforeTheTakeOver) {
    const struct {
        uint64_t takeOver;
        size_t trace; // after the merge of 3 traced frames
    } cases[] = {
        {0, 3}, // recorded from the start: traced throughout
        {4, 7}, // inside the traced frames: traced throughout
        {6, 9}, // right at the end of the traced frames: traced throughout
        {8, 6}, // after it: frames 6 and 7 were never traced, the prefix stays
    };
    for (const auto& c : cases) {
        Tas tas;
        tas.Data.Inputs.assign(10, Frame(1));
        tas.Data.Trace.assign(6, TraceEntry{});
        tas.CurrentFrame = c.takeOver;
        for (int tick = 0; tick < 3; ++tick) {
            tas.PendingInputs.push_back(Frame(2));
            TraceEntry entry;
            entry.CarLocation.X = 7.0f;
            tas.PendingTrace.push_back(entry);
        }
        tas.InputsApplied = false;
        tas.MergePending();
        ASSERT_EQ(tas.Data.Inputs.size(), c.takeOver + 3) << c.takeOver;
        ASSERT_EQ(tas.Data.Trace.size(), c.trace) << c.takeOver;
        EXPECT_TRUE(tas.Data.HasTrace());
        EXPECT_EQ(tas.Data.Trace.back().CarLocation.X, c.takeOver > 6 ? 0.0f : 7.0f);
    }
    // A trace from another start goes whole.
    Tas stale;
    stale.Data.Inputs.assign(10, Frame(1));
    stale.Data.Trace.assign(6, TraceEntry{});
    stale.Data.TraceStale = true;
    stale.CurrentFrame = 8;
    stale.PendingInputs.push_back(Frame(2));
    stale.MergePending();
    EXPECT_TRUE(stale.Data.Trace.empty());
}
