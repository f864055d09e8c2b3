#include "runs/record/TasFormat.h"
#include "TempFolder.h"
#include "runs/record/RunTrace.h"
#include "runs/recovery/RecoveryJournal.h"
#include "runs/recovery/RecoveryWriter.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <sstream>

namespace {

std::string Bytes(const TasData& data) {
    std::ostringstream stream;
    WriteTas(stream, data);
    return stream.str();
}

TasReadResult Read(const std::string& bytes, TasData& data) {
    std::istringstream stream(bytes);
    return ReadTasData(stream, data);
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(TasFormatTest, ResetRunIsTheExact136Bytes) {
    const std::string bytes = Bytes(TasData());
    std::string expected("\x01\x00\x00\x00", 4);
    expected += std::string(16, '\0') + std::string(104, '\0');
    expected += std::string("\x06\x00\x00\x00\x00\x00\x80\x3F\x00\x00\x80\x3F", 12);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.size(), TasFileSize(0, 0));
}

TEST(TasFormatTest, RoundTripKeepsEveryBit) {
    TasData data;
    VehicleInput odd;
    odd.Throttle = std::nanf("0x123");
    odd.Steer = -0.0f;
    odd.Pitch = 1e-40f;
    odd.Roll = -INFINITY;
    odd.Flags = 0xFFFFFFE5;
    data.Inputs = {odd, VehicleInput{}, odd};
    data.TeleportFrames = {1, 2, 0xFFFFFFFFFFull};
    data.CarStart = {{1.5f, -2.0f, 17.0f}, {-100, 16384, 65535}, {3, 4, 5}, {6, 7, -0.0f}, true};
    data.BallStart = {{0, 0, 92.75f}, {1, 2, 3}, {}, {}, false};
    data.Hitbox = HitboxType::Hybrid;
    data.AirSensitivity = 1.3f;
    data.SteerSensitivity = std::nanf("7");
    const std::string bytes = Bytes(data);
    ASSERT_EQ(bytes.size(), TasFileSize(3, 3));

    TasData back;
    auto result = Read(bytes, back);
    EXPECT_EQ(result.outcome, ReadOutcome::Loaded);
    EXPECT_EQ(result.extraBytes, 0u);
    ASSERT_EQ(back.Inputs.size(), 3u);
    EXPECT_EQ(std::memcmp(back.Inputs.data(), data.Inputs.data(), 3 * sizeof(VehicleInput)), 0);
    EXPECT_EQ(back.TeleportFrames, data.TeleportFrames);
    EXPECT_EQ(back.CarStart.Rotation.Roll, 65535);
    EXPECT_EQ(Bits(back.CarStart.AngularVelocity.Z), Bits(-0.0f));
    EXPECT_TRUE(back.CarStart.Enabled);
    EXPECT_FALSE(back.BallStart.Enabled);
    EXPECT_EQ(back.BallStart.Location.Z, 92.75f);
    EXPECT_EQ(back.Hitbox, HitboxType::Hybrid);
    EXPECT_EQ(back.AirSensitivity, 1.3f);
    EXPECT_EQ(Bits(back.SteerSensitivity), Bits(data.SteerSensitivity));
    EXPECT_EQ(Bytes(back), bytes);
}

// The layout spelled out field by field, little-endian, apart from the
// writer's and reader's code.
struct Layout {
    std::string bytes;
    template <typename T> Layout& operator<<(T value) {
        const auto bits =
            std::bit_cast<std::conditional_t<sizeof value == 8, uint64_t, uint32_t>>(value);
        for (size_t i = 0; i < sizeof value; ++i) {
            bytes += static_cast<char>(bits >> (8 * i));
        }
        return *this;
    }
    Layout& operator<<(Vector v) { return *this << v.X << v.Y << v.Z; }
    Layout& operator<<(Rotator r) { return *this << r.Pitch << r.Yaw << r.Roll; }
    Layout& operator<<(const StartingState& s) {
        *this << s.Location << s.Rotation << s.Velocity << s.AngularVelocity;
        bytes += std::string{static_cast<char>(s.Enabled), 0, 0, 0};
        return *this;
    }
    Layout& operator<<(const TraceEntry& e) {
        return *this << e.CarLocation << e.CarRotation << e.CarVelocity << e.CarAngularVelocity
                     << e.BallLocation << e.BallVelocity << e.HasBall;
    }
    Layout& operator<<(const Keyframe& k) {
        return *this << k.Frame << k.CarLocation << k.CarRotation << k.CarVelocity
                     << k.CarAngularVelocity << k.Boost << k.Jumped << k.DoubleJumped
                     << k.BallLocation << k.BallRotation << k.BallVelocity << k.BallAngularVelocity
                     << k.HasBall;
    }
    Layout& operator<<(const VehicleInput& i) {
        return *this << i.Throttle << i.Steer << i.Pitch << i.Yaw << i.Roll << i.FlipForward
                     << i.FlipSideways << i.Flags;
    }
};

TEST(TasFormatTest, EveryFieldLiesWhereTheLayoutSays) {
    TasData data;
    float next = 1.0f; // every float of the run differs from every other
    auto f = [&] {
        return next += 0.25f;
    };
    auto v = [&] {
        return Vector{f(), f(), f()};
    };
    data.Inputs = {{f(), f(), f(), f(), f(), f(), f(), 0x80000015},
                   {f(), f(), f(), f(), f(), f(), f(), 0x0A}};
    data.TeleportFrames = {0x0102030405060708ull, 0x1112131415161718ull};
    data.CarStart = {v(), {-3, 16001, 70000}, v(), v(), true};
    data.BallStart = {v(), {9, -8, 7}, v(), v(), false};
    data.Hitbox = HitboxType::Breakout;
    data.AirSensitivity = f();
    data.SteerSensitivity = f();
    data.Trace = {{v(), {11, -12, 13}, v(), v(), v(), v(), 1},
                  {v(), {14, 15, -16}, v(), v(), v(), v(), 0}};
    data.Keyframes = {{1, v(), {1, 2, 3}, v(), v(), f(), 1, 0, v(), {-4, 5, 6}, v(), v(), 1}};
    Layout run;
    run << 1 << uint64_t{2} << data.Inputs[0] << data.Inputs[1] << uint64_t{2}
        << data.TeleportFrames[0] << data.TeleportFrames[1] << data.CarStart << data.BallStart
        << data.Hitbox << data.AirSensitivity << data.SteerSensitivity;
    EXPECT_EQ(Bytes(data), run.bytes);
    uint64_t digest = 0xcbf29ce484222325ull; // FNV-1a of the inputs, both starts and the hitbox
    for (char c : run.bytes.substr(12, 64) + run.bytes.substr(100, 108)) {
        digest = (digest ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    }
    Layout trace{"GYROTRCE"};
    trace << 3 << 76 << uint64_t{2} << digest << data.Trace[0] << data.Trace[1] << uint64_t{1}
          << data.Keyframes[0];
    std::ostringstream written;
    WriteTrace(written, data);
    EXPECT_EQ(written.str(), trace.bytes);

    TasData back; // and the readers take every field from there
    ASSERT_EQ(Read(run.bytes, back).outcome, ReadOutcome::Loaded);
    std::istringstream stream(trace.bytes);
    ASSERT_EQ(ReadTrace(stream, back, back.Trace, back.Keyframes).fit, TraceFit::Belongs);
    Layout again;
    again << back.Inputs[0] << back.Inputs[1] << uint64_t{2} << back.TeleportFrames[0]
          << back.TeleportFrames[1] << back.CarStart << back.BallStart << back.Hitbox
          << back.AirSensitivity << back.SteerSensitivity << back.Trace[0] << back.Trace[1]
          << uint64_t{back.Keyframes.size()} << back.Keyframes[0];
    EXPECT_EQ(again.bytes, run.bytes.substr(12) + trace.bytes.substr(32));

    // A version 2 trace ends after its entries: they load, without keyframes.
    Layout old{"GYROTRCE"};
    old << 2 << 76 << uint64_t{2} << digest << data.Trace[0] << data.Trace[1];
    std::istringstream oldStream(old.bytes);
    ASSERT_EQ(ReadTrace(oldStream, back, back.Trace, back.Keyframes).fit, TraceFit::Belongs);
    EXPECT_EQ(back.Trace[1].CarRotation.Roll, -16);
    EXPECT_TRUE(back.Keyframes.empty());

    // A keyframe section cut, grown, out of order or past the entries: the
    // file is damaged, and none of it is taken.
    const std::string entries = trace.bytes.substr(0, 32 + 2 * 76);
    const std::string keyframe = trace.bytes.substr(32 + 2 * 76 + 8);
    Keyframe late = data.Keyframes[0];
    late.Frame = 2;
    Layout twice;
    twice << uint64_t{2} << data.Keyframes[0] << data.Keyframes[0];
    Layout past;
    past << uint64_t{1} << late;
    Layout tooMany;
    tooMany << uint64_t{3} << data.Keyframes[0];
    const std::string damaged[] = {
        entries,
        trace.bytes.substr(0, trace.bytes.size() - 1),
        trace.bytes + '\0',
        entries + twice.bytes,
        entries + past.bytes,
        entries + tooMany.bytes,
        entries + std::string(7, '\0') + keyframe,
    };
    for (const std::string& bytes : damaged) {
        TasData kept;
        kept.Inputs = data.Inputs;
        kept.CarStart = data.CarStart;
        kept.BallStart = data.BallStart;
        kept.Hitbox = data.Hitbox;
        std::istringstream garbled(bytes);
        EXPECT_EQ(ReadTrace(garbled, kept, kept.Trace, kept.Keyframes).fit, TraceFit::Unreadable)
            << bytes.size();
        EXPECT_TRUE(kept.Trace.empty() && kept.Keyframes.empty());
    }
}

TEST(TasFormatTest, OtherVersionsAndInputTooShortForAVersionAreRejected) {
    TasData data;
    auto two = Read(std::string("\x02\x00\x00\x00", 4) + std::string(132, '\0'), data);
    EXPECT_EQ(two.outcome, ReadOutcome::Rejected);
    EXPECT_EQ(two.version, 2);
    for (size_t size : {0, 1, 2, 3}) {
        auto cut = Read(std::string("\x01\x00\x00", size), data);
        EXPECT_EQ(cut.outcome, ReadOutcome::Rejected) << size;
        EXPECT_EQ(cut.version, 0) << size;
    }
}

TEST(TasFormatTest, FileCutShortAfterFrameCountLoadsZeroFrames) {
    std::string bytes("\x01\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00", 12);
    TasData data;
    auto result = Read(bytes, data);
    EXPECT_EQ(result.outcome, ReadOutcome::CutShort);
    ASSERT_EQ(data.Inputs.size(), 3u);
    EXPECT_EQ(data.Inputs[2].Throttle, 0.0f);
    EXPECT_EQ(data.Inputs[2].Flags, 0u);
    EXPECT_TRUE(data.TeleportFrames.empty());
    EXPECT_FALSE(data.CarStart.Enabled);
    EXPECT_EQ(data.Hitbox, HitboxType::Other);
    EXPECT_EQ(data.AirSensitivity, 1.0f);
    EXPECT_EQ(data.SteerSensitivity, 1.0f);
}

TEST(TasFormatTest, CountCutShortReadsAsZero) {
    TasData full;
    full.Inputs.assign(3, VehicleInput{});
    full.TeleportFrames = {1, 2};
    const std::string bytes = Bytes(full);
    TasData frames;
    EXPECT_EQ(Read(bytes.substr(0, 4 + 7), frames).outcome, ReadOutcome::CutShort);
    EXPECT_TRUE(frames.Inputs.empty());
    TasData teleports;
    EXPECT_EQ(Read(bytes.substr(0, 12 + 3 * 32 + 1), teleports).outcome, ReadOutcome::CutShort);
    EXPECT_EQ(teleports.Inputs.size(), 3u);
    EXPECT_TRUE(teleports.TeleportFrames.empty());
}

TEST(TasFormatTest, PartlyWrittenFrameKeepsItsDeliveredBytes) {
    TasData full;
    full.Inputs.assign(2, VehicleInput{});
    full.Inputs[1].Throttle = 0.5f;
    full.Inputs[1].Flags = 7;
    const std::string bytes = Bytes(full).substr(0, 12 + 32 + 4);
    TasData data;
    EXPECT_EQ(Read(bytes, data).outcome, ReadOutcome::CutShort);
    ASSERT_EQ(data.Inputs.size(), 2u);
    EXPECT_EQ(data.Inputs[1].Throttle, 0.5f);
    EXPECT_EQ(data.Inputs[1].Flags, 0u);
}

TEST(TasFormatTest, ExtraTrailingBytesChangeNothing) {
    TasData source;
    source.Hitbox = HitboxType::Dominus;
    TasData data;
    auto result = Read(Bytes(source) + "trailing", data);
    EXPECT_EQ(result.outcome, ReadOutcome::Loaded);
    EXPECT_EQ(result.extraBytes, 8u);
    EXPECT_EQ(data.Hitbox, HitboxType::Dominus);
}

TEST(TasFormatTest, EnabledByteTwoReadsTrueAndAnyHitboxIsKept) {
    std::string bytes = Bytes(TasData());
    bytes[20 + 48] = 2;
    const int32_t hitbox = 42;
    std::memcpy(&bytes[20 + 104], &hitbox, 4);
    TasData data;
    ASSERT_EQ(Read(bytes, data).outcome, ReadOutcome::Loaded);
    EXPECT_TRUE(data.CarStart.Enabled);
    EXPECT_EQ(static_cast<int32_t>(data.Hitbox), 42);
    EXPECT_STREQ(HitboxName(data.Hitbox), "Other");
}

TEST(TasFormatTest, CountsFarBeyondTheFileAreRefusedWithoutAllocating) {
    std::string bytes("\x01\x00\x00\x00", 4);
    const uint64_t huge = uint64_t{1} << 40;
    bytes.append(reinterpret_cast<const char*>(&huge), 8);
    TasData data;
    auto result = Read(bytes, data);
    EXPECT_EQ(result.outcome, ReadOutcome::TooLarge);
    EXPECT_EQ(result.error, "frame count 1099511627776 is far more than the file holds");
    EXPECT_TRUE(data.Inputs.empty());

    std::string teleports = Bytes(TasData()).substr(0, 12);
    teleports.append(reinterpret_cast<const char*>(&huge), 8);
    EXPECT_EQ(Read(teleports, data).outcome, ReadOutcome::TooLarge);
}

TEST(TasFormatTest, CutShortWithinTheAllowanceLoads) {
    std::string bytes("\x01\x00\x00\x00", 4);
    const uint64_t frames = CutShortRecordAllowance;
    bytes.append(reinterpret_cast<const char*>(&frames), 8);
    TasData data;
    EXPECT_EQ(Read(bytes, data).outcome, ReadOutcome::CutShort);
    EXPECT_EQ(data.Inputs.size(), CutShortRecordAllowance);
    const uint64_t tooMany = CutShortRecordAllowance + 1;
    std::memcpy(&bytes[4], &tooMany, 8);
    TasData refused;
    EXPECT_EQ(Read(bytes, refused).outcome, ReadOutcome::TooLarge);
}

} // namespace

// The recovery journal: a base, then records appended as the work goes on.
namespace {

Keyframe KeyframeAt(uint64_t frame) {
    Keyframe keyframe;
    keyframe.Frame = frame;
    keyframe.Boost = static_cast<float>(frame) / 1000.0f;
    return keyframe;
}

RecordingBlock Block(size_t count, float seed, std::vector<uint64_t> teleports = {},
                     std::vector<uint64_t> keyframes = {}) {
    RecordingBlock block;
    block.Count = count;
    for (size_t i = 0; i < count; ++i) {
        block.Inputs[i].Throttle = seed + static_cast<float>(i);
        block.Inputs[i].Flags = static_cast<uint32_t>(i);
        block.Trace[i].CarLocation = {seed, static_cast<float>(i), 17.0f};
    }
    block.TeleportFrames = std::move(teleports);
    for (const uint64_t frame : keyframes) {
        block.Keyframes.push_back(KeyframeAt(frame));
    }
    return block;
}

// A new run, a take-over of 150 ticks with a teleport applied, then a second
// take-over at frame 100 still pending with 30 ticks.
std::string Journal() {
    TasData base;
    base.CarStart.Location = {1, 2, 3};
    base.CarStart.Enabled = true;
    base.Hitbox = HitboxType::Dominus;
    std::string journal = JournalHeader() + BaseRecord("jump", base);
    journal += TakeOverRecord(0, 0);
    // Keyframes that fit no recorded frame after the earlier ones are left out.
    journal += PendingRecord(Block(120, 0.0f, {40}, {0, 40, 40, 20, 120}));
    journal += PendingRecord(Block(30, 120.0f));
    journal += EmptyRecord(JournalRecord::Merge);
    journal += TakeOverRecord(100, 1);
    journal += PendingRecord(Block(30, 500.0f));
    return journal;
}

JournalReadResult ReadJournal(const std::string& bytes, Tas& tas) {
    std::istringstream stream(bytes);
    return ReadRecoveryJournal(stream, bytes.size(), tas);
}

} // namespace

TEST(RecoveryJournalTest, ReplaysTheWorkAsItWasDone) {
    const std::string journal = Journal();
    Tas tas;
    const JournalReadResult result = ReadJournal(journal, tas);
    ASSERT_EQ(result.outcome, JournalReadResult::Read);
    EXPECT_EQ(result.name, "jump");
    EXPECT_EQ(tas.Name, "jump");
    EXPECT_EQ(result.validBytes, journal.size());
    EXPECT_EQ(result.droppedBytes, 0u);
    EXPECT_EQ(tas.Data.Hitbox, HitboxType::Dominus);
    EXPECT_EQ(tas.Data.CarStart.Location.Z, 3.0f);
    ASSERT_EQ(tas.Data.Inputs.size(), 150u);
    ASSERT_EQ(tas.Data.Trace.size(), 150u);
    EXPECT_EQ(tas.Data.Inputs[149].Throttle, 149.0f);
    EXPECT_EQ(tas.Data.Trace[130].CarLocation.X, 120.0f);
    EXPECT_EQ(tas.Data.TeleportFrames, std::vector<uint64_t>{40});
    ASSERT_EQ(tas.Data.Keyframes.size(), 2u);
    EXPECT_EQ(tas.Data.Keyframes[1].Frame, 40u);
    EXPECT_EQ(tas.Data.Keyframes[1].Boost, 0.04f);
    // The second take-over is pending again, stopped and ready for Update.
    EXPECT_FALSE(tas.InputsApplied);
    EXPECT_EQ(tas.State, TasState::Stopped);
    EXPECT_EQ(tas.CurrentFrame, 100u);
    EXPECT_EQ(tas.NextTeleport, 1u);
    ASSERT_EQ(tas.PendingInputs.size(), 30u);
    EXPECT_EQ(tas.PendingInputs[29].Throttle, 529.0f);
    EXPECT_EQ(RecoveredFrames(tas), 130u);
}

TEST(RecoveryJournalTest, EditsAndUndosApplyAsTheyWereMade) {
    TasData run;
    run.Inputs.assign(10, VehicleInput{1.0f});
    run.TeleportFrames = {5};
    run.Trace.assign(10, TraceEntry{});
    run.Keyframes = {KeyframeAt(0), KeyframeAt(5)};
    run.Markers = {{1, "base"}, {9, "end"}};
    std::string journal = JournalHeader() + BaseRecord("before", run);
    RunSplice change;
    change.Markers = {{1, "base"}, {7, "moved"}};
    change.At = 2;
    change.Removed = 3;
    change.Inputs.assign(1, VehicleInput{-1.0f});
    change.Teleports = {3};
    change.TraceAt = 2;
    change.TraceTail.assign(1, TraceEntry{});
    change.KeyframesTail = {KeyframeAt(2)};
    StartingState car;
    car.Location.Z = 9.5f;
    car.Enabled = true;
    journal += FramedRecord(JournalRecord::Splice, SplicePayload(change)) +
               FramedRecord(JournalRecord::Starts, StartsPayload(car, StartingState())) +
               FramedRecord(JournalRecord::Name, NamePayload("after"));
    Tas tas;
    const JournalReadResult result = ReadJournal(journal, tas);
    ASSERT_EQ(result.outcome, JournalReadResult::Read);
    EXPECT_EQ(result.name, "after");
    EXPECT_EQ(tas.Name, "after");
    ASSERT_EQ(tas.Data.Inputs.size(), 8u);
    EXPECT_EQ(tas.Data.Inputs[1].Throttle, 1.0f);
    EXPECT_EQ(tas.Data.Inputs[2].Throttle, -1.0f);
    EXPECT_EQ(tas.Data.Inputs[3].Throttle, 1.0f);
    EXPECT_EQ(tas.Data.TeleportFrames, std::vector<uint64_t>{3});
    EXPECT_EQ(tas.Data.Trace.size(), 3u);
    ASSERT_EQ(tas.Data.Keyframes.size(), 2u);
    EXPECT_EQ(tas.Data.Keyframes[1].Boost, 0.002f);
    EXPECT_EQ(tas.Data.Markers, change.Markers);
    EXPECT_EQ(tas.Data.CarStart.Location.Z, 9.5f);
    EXPECT_TRUE(tas.Data.CarStart.Enabled);
    EXPECT_FALSE(tas.Data.BallStart.Enabled);

    // Nor a marker past the changed run's end, or whose text runs past the record.
    std::string longer = SplicePayload(change), past = longer;
    longer.replace(longer.size() - 9, 4, "\xff\xff\xff\xff");
    past[past.size() - 17] = 8;
    for (const std::string& refused : {longer, past}) {
        const std::string bytes = JournalHeader() + BaseRecord("before", run) +
                                  FramedRecord(JournalRecord::Splice, refused);
        Tas damaged;
        EXPECT_EQ(ReadJournal(bytes, damaged).outcome, JournalReadResult::Unreadable);
    }

    // A change that does not fit the run makes no sense, nor keyframes past
    // the trace tail: nothing of it is used.
    for (const uint64_t at : {uint64_t{20}, uint64_t{2}}) {
        change.At = at;
        change.KeyframesTail = {KeyframeAt(3)};
        Tas refused;
        EXPECT_EQ(ReadJournal(JournalHeader() + BaseRecord("before", run) +
                                  FramedRecord(JournalRecord::Splice, SplicePayload(change)),
                              refused)
                      .outcome,
                  JournalReadResult::Unreadable);
    }
}

TEST(RecoveryJournalTest, ATornOrDamagedTailIsDroppedWhole) {
    const std::string journal = Journal();
    const size_t lastRecord = journal.size() - (4 + 8 + 4 + 30 * 108 + 4 + 4 + 8);
    for (size_t cut = lastRecord; cut < journal.size(); cut += 97) {
        Tas tas;
        const JournalReadResult result = ReadJournal(journal.substr(0, cut), tas);
        ASSERT_EQ(result.outcome, JournalReadResult::Read) << cut;
        EXPECT_EQ(result.validBytes, lastRecord) << cut;
        EXPECT_FALSE(result.damaged) << cut;
        EXPECT_EQ(tas.PendingInputs.size(), 0u) << cut; // the take-over, with nothing yet
        EXPECT_FALSE(tas.InputsApplied);
    }
    // Damage in the last record, or in its size, is a torn tail; damage before
    // a whole record is not, wherever in the record it is.
    const size_t merge = lastRecord - 16 - 20 - 20;
    const struct {
        size_t at;
        size_t validBytes;
        bool damaged;
    } cases[] = {{lastRecord + 40, lastRecord, false},
                 {lastRecord + 5, lastRecord, false},
                 {merge + 1, merge, true},
                 {merge + 6, merge, true},
                 {RecoveryJournalHeaderBytes + 30, RecoveryJournalHeaderBytes, false},
                 {merge - 20, merge - 3272, true}};
    for (const auto& c : cases) {
        std::string damaged = journal;
        damaged[c.at] ^= 1;
        Tas tas;
        const JournalReadResult result = ReadJournal(damaged, tas);
        EXPECT_EQ(result.validBytes, c.validBytes) << c.at;
        EXPECT_EQ(result.damaged, c.damaged) << c.at;
        EXPECT_EQ(result.outcome,
                  c.at < 100 ? JournalReadResult::CutShort : JournalReadResult::Read);
    }
}

TEST(RecoveryJournalTest, RefusesWhatIsNotAWholeJournalOfThisVersion) {
    const std::string journal = Journal();
    const auto outcome = [](const std::string& bytes) {
        Tas tas;
        return ReadJournal(bytes, tas).outcome;
    };
    EXPECT_EQ(outcome(journal.substr(0, 7)), JournalReadResult::CutShort);
    EXPECT_EQ(outcome(journal.substr(0, 40)), JournalReadResult::CutShort); // base torn
    std::string otherVersion = journal;
    otherVersion[8] = 5;
    EXPECT_EQ(outcome(otherVersion), JournalReadResult::OtherVersion);
    // A version 2 journal: its records end before the keyframe counts (and
    // the marker counts, which came after them).
    const auto unkeyed = [](JournalRecord kind, const std::string& record, size_t count) {
        return FramedRecord(kind, record.substr(12, record.size() - 20 - count));
    };
    TasData traced;
    traced.Inputs.assign(3, VehicleInput{});
    traced.Trace.assign(2, TraceEntry{});
    RunSplice grow;
    grow.At = 3;
    grow.TraceAt = 2;
    grow.TraceTail.assign(1, TraceEntry{});
    const std::string two = std::string("GYRORCVR\x02\0\0\0", 12) +
                            unkeyed(JournalRecord::Base, BaseRecord("two", traced), 16) +
                            TakeOverRecord(3, 0) +
                            unkeyed(JournalRecord::Pending, PendingRecord(Block(2, 1.0f, {4})), 4) +
                            unkeyed(JournalRecord::Splice,
                                    FramedRecord(JournalRecord::Splice, SplicePayload(grow)), 16);
    Tas old;
    ASSERT_EQ(ReadJournal(two, old).outcome, JournalReadResult::Read);
    EXPECT_EQ(old.Data.Trace.size(), 3u);
    EXPECT_EQ(old.PendingInputs.size(), 2u);
    EXPECT_EQ(old.PendingTeleportFrames, std::vector<uint64_t>{4});
    EXPECT_TRUE(old.Data.Keyframes.empty());
    std::string notJournal = journal;
    notJournal[0] = 'X';
    EXPECT_EQ(outcome(notJournal), JournalReadResult::Unreadable);
    // A whole record that makes no sense: pending ticks without a take-over.
    TasData base;
    EXPECT_EQ(outcome(JournalHeader() + BaseRecord("a", base) + PendingRecord(Block(3, 0.0f))),
              JournalReadResult::Unreadable);
    // A size field claiming gigabytes is torn, not allocated.
    std::string huge = JournalHeader() + BaseRecord("a", base);
    const uint32_t kind = 3;
    const uint64_t size = uint64_t{1} << 40;
    huge.append(reinterpret_cast<const char*>(&kind), 4);
    huge.append(reinterpret_cast<const char*>(&size), 8);
    huge.append(64, '\0');
    Tas tas;
    EXPECT_EQ(ReadJournal(huge, tas).outcome, JournalReadResult::Read);
    EXPECT_EQ(ReadJournal(huge, tas).droppedBytes, 76u);
    // A base whose run claims a million frames in a few bytes is refused
    // before the frames are allocated.
    std::string claimed = BaseRecord("a", base).substr(12);
    claimed.resize(claimed.size() - 8);
    claimed[4 + 1 + 8 + 4 + 2] = 0x10;
    Tas claiming;
    EXPECT_EQ(
        ReadJournal(JournalHeader() + FramedRecord(JournalRecord::Base, claimed), claiming).outcome,
        JournalReadResult::Unreadable);
    EXPECT_EQ(claiming.Data.Inputs.capacity(), 0u);
}

TEST(RecoveryJournalTest, ABaseWithATraceOfItsFirstFramesRecoversIt) {
    TasData base;
    base.Hitbox = HitboxType::Octane;
    base.Inputs.assign(10, VehicleInput{});
    base.Trace.assign(4, TraceEntry{});
    base.Trace[3].CarLocation.X = 3.0f;
    base.Keyframes = {KeyframeAt(0), KeyframeAt(3)};
    // A take-over after the traced frames, merged: the trace stays as it was.
    const std::string pending = JournalHeader() + BaseRecord("prefix", base) +
                                TakeOverRecord(6, 0) + PendingRecord(Block(3, 1.0f, {}, {7}));
    Tas unmerged;
    ASSERT_EQ(ReadJournal(pending, unmerged).outcome, JournalReadResult::Read);
    ASSERT_EQ(unmerged.PendingKeyframes.size(), 1u);
    EXPECT_EQ(unmerged.PendingKeyframes[0].Boost, 0.007f);
    Tas tas;
    ASSERT_EQ(ReadJournal(pending + EmptyRecord(JournalRecord::Merge), tas).outcome,
              JournalReadResult::Read);
    EXPECT_EQ(tas.Data.Inputs.size(), 9u);
    ASSERT_EQ(tas.Data.Trace.size(), 4u);
    EXPECT_EQ(tas.Data.Trace[3].CarLocation.X, 3.0f);
    ASSERT_EQ(tas.Data.Keyframes.size(), 2u);
    EXPECT_EQ(tas.Data.Keyframes[1].Boost, 0.003f);
    EXPECT_TRUE(tas.Data.HasTrace());

    // A trace longer than the run is no trace of it, keyframes past the
    // trace or out of order none of its.
    base.Keyframes = {KeyframeAt(4)};
    Tas past;
    EXPECT_EQ(ReadJournal(JournalHeader() + BaseRecord("past", base), past).outcome,
              JournalReadResult::Unreadable);
    base.Keyframes = {KeyframeAt(1), KeyframeAt(1)};
    EXPECT_EQ(ReadJournal(JournalHeader() + BaseRecord("past", base), past).outcome,
              JournalReadResult::Unreadable);
    base.Keyframes.clear();
    base.Trace.assign(11, TraceEntry{});
    Tas longer;
    EXPECT_EQ(ReadJournal(JournalHeader() + BaseRecord("longer", base), longer).outcome,
              JournalReadResult::Unreadable);
}

namespace {

// Bytes put field by field in the order RecoveryJournal.h gives, each field
// a value of its own: a writer and a reader agreeing on another order fail.
struct JournalLayout {
    std::string bytes;
    float next = 0.0f;
    template <typename T> T Put(T value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        return value;
    }
    float F() { return Put(next += 0.25f); }
    int32_t I() { return Put(static_cast<int32_t>(next += 1.0f)); }
    Vector V() { return Vector{F(), F(), F()}; } // braces: in order
    Rotator R() { return Rotator{I(), I(), I()}; }
    VehicleInput Input() {
        return VehicleInput{F(), F(), F(), F(), F(), F(), F(), static_cast<uint32_t>(I())};
    }
    TraceEntry Trace() { return TraceEntry{V(), R(), V(), V(), V(), V(), Put(uint32_t{1})}; }
    Keyframe Key(uint64_t frame) {
        return Keyframe{Put(frame),
                        V(),
                        R(),
                        V(),
                        V(),
                        F(),
                        Put(uint32_t{1}),
                        Put(uint32_t{0}),
                        V(),
                        R(),
                        V(),
                        V(),
                        Put(uint32_t{1})};
    }
    StartingState Start(size_t padding) {
        StartingState state{V(), R(), V(), V(), Put(uint8_t{1}) == 1};
        bytes.append(padding, '\0');
        return state;
    }
    // Frames what was put from at as one record.
    void Record(JournalRecord kind, size_t at) {
        const std::string payload = bytes.substr(at);
        bytes.resize(at);
        Put(static_cast<uint32_t>(kind));
        Put(static_cast<uint64_t>(payload.size()));
        bytes += payload;
        uint64_t digest = 0xcbf29ce484222325ull;
        for (const char byte : bytes.substr(at)) {
            digest = (digest ^ static_cast<unsigned char>(byte)) * 0x100000001b3ull;
        }
        Put(digest);
    }
};

} // namespace

TEST(RecoveryJournalTest, TheWriterPutsEveryByteWhereTheLayoutSays) {
    JournalLayout run;
    TasData data;
    run.Put(int32_t{1});
    run.Put(uint64_t{2});
    data.Inputs = {run.Input(), run.Input()};
    run.Put(uint64_t{1});
    data.TeleportFrames = {run.Put(uint64_t{0})};
    data.CarStart = run.Start(3);
    data.BallStart = run.Start(3);
    data.Hitbox = run.Put(HitboxType::Dominus);
    data.AirSensitivity = run.F();
    data.SteerSensitivity = run.F();
    JournalLayout want{"GYRORCVR", run.next};
    want.Put(uint32_t{4});
    size_t at = want.bytes.size();
    want.bytes += want.Put(uint32_t{4}) == 4 ? "gold" : "";
    want.Put(static_cast<uint64_t>(run.bytes.size()));
    want.bytes += run.bytes;
    want.Put(uint64_t{2});
    data.Trace = {want.Trace(), want.Trace()};
    want.Put(uint64_t{1});
    data.Keyframes = {want.Key(1)};
    want.Put(uint64_t{1});
    data.Markers = {{want.Put(uint64_t{1}), "go"}};
    want.bytes += want.Put(uint32_t{2}) == 2 ? "go" : "";
    want.Record(JournalRecord::Base, at);
    at = want.bytes.size();
    want.Put(uint64_t{1}); // take-over frame, then next teleport
    want.Put(uint64_t{0});
    want.Record(JournalRecord::TakeOver, at);
    at = want.bytes.size();
    want.Put(uint32_t{2});
    const VehicleInput inputs[] = {want.Input(), want.Input()};
    const TraceEntry trace[] = {want.Trace(), want.Trace()};
    want.Put(uint32_t{1});
    want.Put(uint64_t{2});
    want.Put(uint32_t{1});
    const Keyframe recorded = want.Key(2);
    want.Record(JournalRecord::Pending, at);
    RunSplice change;
    at = want.bytes.size();
    change.At = want.Put(uint64_t{1});
    change.Removed = want.Put(uint64_t{0});
    want.Put(uint64_t{1});
    change.Inputs = {want.Input()};
    want.Put(uint64_t{1});
    change.Teleports = {want.Put(uint64_t{4})};
    change.TraceAt = want.Put(uint64_t{5});
    want.Put(uint64_t{1});
    change.TraceTail = {want.Trace()};
    want.Put(uint64_t{1});
    change.KeyframesTail = {want.Key(5)};
    want.Put(uint64_t{1});
    change.Markers = {{want.Put(uint64_t{2}), "end"}};
    want.bytes += want.Put(uint32_t{3}) == 3 ? "end" : "";
    want.Record(JournalRecord::Splice, at);
    at = want.bytes.size();
    const StartingState car = want.Start(0);
    const StartingState ball = want.Start(0);
    want.Record(JournalRecord::Starts, at);
    at = want.bytes.size();
    want.bytes += want.Put(uint32_t{3}) == 3 ? "new" : "";
    want.Record(JournalRecord::Name, at);

    TempFolder folder;
    const auto path = folder.path() / "gold.journal";
    RecoveryWriter writer;
    writer.Start();
    writer.Begin(path, JournalBase{"gold", std::nullopt, 2, BaseRecord("gold", data)});
    writer.TakeOver(1, 0);
    writer.Record(inputs[0], trace[0]);
    writer.Teleport(2);
    writer.Record(inputs[1], trace[1]);
    writer.RecordKeyframe(recorded);
    writer.Write(JournalRecord::Splice, SplicePayload(change));
    writer.Write(JournalRecord::Starts, StartsPayload(car, ball));
    writer.Write(JournalRecord::Name, NamePayload("new"));
    EXPECT_TRUE(writer.Join());
    EXPECT_EQ(FileBytes(path), want.bytes);
}
