// Record a run, replay it untouched, then correct its tail: the whole cycle
// through the host's console, ticks and teleports.
#include "PluginHarness.h"
#include "Session.h"
#include "runs/recovery/RecoveryJournal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/wait.h>
#include <thread>

namespace {

// The car's and the ball's whole state after one tick, and the input used.
struct TickRecord {
    unsigned char bytes[2 * 4 * 12 + sizeof(ControllerInput)];

    bool operator==(const TickRecord& other) const {
        return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
    }
};

class EndToEndTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        host.OnLocalTick = [this](uint64_t, const ControllerInput& used) {
            TickRecord record{};
            unsigned char* at = record.bytes;
            for (const sim::Actor* actor : {static_cast<const sim::Actor*>(World().LocalCar()),
                                            static_cast<const sim::Actor*>(World().GetBall())}) {
                for (const void* field : {static_cast<const void*>(&actor->location),
                                          static_cast<const void*>(&actor->rotation),
                                          static_cast<const void*>(&actor->velocity),
                                          static_cast<const void*>(&actor->angularVelocity)}) {
                    std::memcpy(at, field, 12);
                    at += 12;
                }
            }
            std::memcpy(at, &used, sizeof used);
            session.push_back(record);
        };
    }

    // The live controls of recorded tick i: varied, with jumps and boost.
    static VehicleInput Player(int i) {
        VehicleInput input;
        input.Throttle = i < 200 ? 1.0f : -0.5f;
        input.Steer = static_cast<float>((i % 50) - 25) / 25.0f;
        input.Pitch = i > 60 && i < 90 ? 0.8f : 0.0f;
        input.Roll = i > 70 && i < 80 ? -1.0f : 0.0f;
        input.Flags = (i % 90 == 40 ? VehicleInputFlag::Jump : 0) |
                      (i > 100 && i < 140 ? VehicleInputFlag::ActivateBoost : 0);
        return input;
    }

    // Start the loaded run and let the 0.2 s of placements pass on real ticks.
    void Start() {
        host.RunLine("tas_start");
        Tick(24);
        ASSERT_EQ(Run().State, TasState::Replaying);
        session.clear();
    }

    std::vector<TickRecord> session;
};

TEST_F(EndToEndTest, ReplayReproducesTheRecordingAndTakesANewTail) {
    World().GetBall()->velocity = {300, 200, 800};
    CaptureRun("e2e");
    host.RunLine("tas_checkthrottle 0; tas_checksteer 0; tas_checkjump 0; tas_recordspeed 0.5");

    // Record: the run has no inputs, so the first tick takes over.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1, Player(i));
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(Run().State, TasState::Recording);
    host.RunLine("tas_stop; tas_update");
    ASSERT_EQ(Run().Data.Inputs.size(), 300u);
    ASSERT_EQ(Run().Data.TeleportFrames, std::vector<uint64_t>{150});
    const std::vector<TickRecord> recorded = session;

    // Replay untouched: every tick equals the recording bit for bit.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(session.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) {
        ASSERT_TRUE(session[i] == recorded[i]) << "replay left the recording at tick " << i;
    }

    // Take over with boost at frame 220 and record a different tail.
    Start();
    for (int i = 0; i < 220; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    for (int i = 0; i < 80; ++i) {
        VehicleInput tail;
        tail.Steer = 0.3f;
        tail.Flags = VehicleInputFlag::ActivateBoost;
        Tick(1, tail);
    }
    ASSERT_EQ(Run().CurrentFrame, 220u);
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 300u);
    const std::vector<TickRecord> corrected = session;
    EXPECT_FALSE(corrected[250] == recorded[250]);

    // The corrected run follows the old one up to the take-over, then the tail.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(session.size(), 300u);
    for (size_t i = 0; i < 300; ++i) {
        ASSERT_TRUE(session[i] == (i < 220 ? recorded[i] : corrected[i])) << "tick " << i;
    }
    EXPECT_EQ(Run().State, TasState::Replaying);
    Tick(1);
    EXPECT_EQ(Run().State, TasState::Recording); // ran out on the tick after the last input
}

// What a run held, kept past the plugin that held it.
struct RunCopy {
    explicit RunCopy(const Tas& tas)
        : inputs(tas.Data.Inputs), trace(tas.Data.Trace), teleports(tas.Data.TeleportFrames),
          markers(tas.Data.Markers), currentFrame(tas.CurrentFrame), applied(tas.InputsApplied),
          frames(RecoveredFrames(tas)) {
        for (size_t i = 0; i < tas.PendingInputs.size(); ++i) {
            pending.push_back(tas.PendingInputs[i]);
            pendingTrace.push_back(tas.PendingTrace[i]);
        }
    }
    std::vector<VehicleInput> inputs, pending;
    std::vector<TraceEntry> trace, pendingTrace;
    std::vector<uint64_t> teleports;
    std::vector<Marker> markers;
    uint64_t currentFrame;
    bool applied;
    uint64_t frames;
};

// The first of count frames whose bytes differ, count when none does.
template <typename A, typename B> size_t FirstDifference(const A& a, const B& b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof b[i]) != 0) {
            return i;
        }
    }
    return count;
}

// A game that crashes while it records, and a new start on the same folder.
class CrashRecoveryTest : public ::testing::Test {
protected:
    // A new run made on the page, then started: it has no inputs, so the
    // first tick after the placements takes over.
    static std::vector<std::string> NewRunRecording(int ticks) {
        std::vector<std::string> lines = {"sim_car octane",
                                          "sim_freeplay 1",
                                          "tas_checkthrottle 0",
                                          "sim_ui_click Controls",
                                          "sim_ui_click \"New TAS\"",
                                          "sim_ui_edit \"TAS Name\"",
                                          "sim_ui_type crash",
                                          "sim_ui_click Create",
                                          "sim_ui_frame",
                                          "tas_start",
                                          "sim_tick 24"};
        Record(lines, ticks, 0);
        return lines;
    }

    // Varied controls, ten ticks a line.
    static void Record(std::vector<std::string>& lines, int ticks, int seed) {
        for (int done = 0; done < ticks; done += 10) {
            const int i = done / 10 + seed;
            lines.push_back("sim_tick " + std::to_string(std::min(10, ticks - done)) +
                            " throttle=" + std::to_string((i % 5) * 0.25) +
                            " steer=" + std::to_string(((i % 7) - 3) / 3.0) +
                            (i % 4 == 0 ? " boost" : "") + (i % 9 == 2 ? " jump" : ""));
        }
    }

    // The same lines played here, uncrashed: what was recorded. One host
    // lives at a time, and the plugin linked here is one.
    static RunCopy PlayHere(const std::vector<std::string>& lines) {
        TempFolder folder;
        sim::Host host(folder.path());
        EXPECT_TRUE(host.LoadPlugin(exports));
        sim::Session reference(host, GYROLOG_PLUGIN_PATH);
        for (const auto& line : lines) {
            reference.RunLine(line);
        }
        EXPECT_TRUE(host.Errors().empty()) << host.Errors().front();
        return RunCopy(GyrologTestAccess{*static_cast<Gyrolog*>(host.Plugin())}.Run());
    }

    // Plays the lines in gyrolog-sim on its own folder, waits until its
    // journal holds at least minFrames of the run and its take-over at
    // takeOverFrame with minPending frames, or the applied run when that is
    // asked, with at least minMarkers markers, and crashes it.
    void PlayAndCrash(const std::vector<std::string>& lines, uint64_t minFrames,
                      uint64_t minPending = 0, bool applied = false, uint64_t takeOverFrame = 0,
                      size_t minMarkers = 0) {
        const std::string command =
            std::string(GYROLOG_SIM_PATH) + " --data " + crashFolder.string() + " >/dev/null 2>&1";
        FILE* game = popen(command.c_str(), "w");
        ASSERT_NE(game, nullptr);
        for (const auto& line : lines) {
            std::fputs((line + "\n").c_str(), game);
        }
        std::fflush(game);
        // Not a timing: the writer gets the time it needs, the game the
        // crash once what it was handed is on the disk.
        for (int tries = 0; tries < 2000; ++tries) {
            const auto held = Journaled();
            if (held && RecoveredFrames(*held) >= minFrames &&
                held->PendingInputs.size() >= minPending && held->InputsApplied == applied &&
                held->Data.Markers.size() >= minMarkers &&
                (applied || held->CurrentFrame == takeOverFrame)) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::fputs("sim_crash\n", game);
        const int status = pclose(game);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3);
    }

    // The run the game's journal holds, once it holds it at all.
    std::unique_ptr<Tas> Journaled() {
        std::error_code error;
        const auto folder = crashFolder / "Gyrolog" / "recovery";
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            std::ifstream stream(entry.path(), std::ios::binary);
            auto tas = std::make_unique<Tas>();
            if (ReadRecoveryJournal(stream, entry.file_size(), *tas).outcome ==
                JournalReadResult::Read) {
                return tas;
            }
        }
        return nullptr;
    }

    // A new start on the crashed folder, the run recovered; returns the
    // frames lost against the reference, after comparing frame by frame.
    uint64_t RecoverAndCompare(const RunCopy& recorded) {
        sim::Host again(crashFolder);
        EXPECT_TRUE(again.LoadPlugin(exports));
        GyrologTestAccess plugin{*static_cast<Gyrolog*>(again.Plugin())};
        const Tas& run = plugin.Run();
        uint64_t frames = 0;
        const auto found = std::find_if(again.Logs().begin(), again.Logs().end(), [](auto& line) {
            return line.rfind("Unsaved run crash found: ", 0) == 0;
        });
        if (found != again.Logs().end()) {
            frames = std::stoull(found->substr(25));
            EXPECT_TRUE(!again.Toasts().empty() && again.Toasts().back().type == 2);
            again.RunLine("tas_recover");
            EXPECT_EQ(again.Logs().back(),
                      "Unsaved run crash recovered: " + std::to_string(frames) + " frames");
            EXPECT_EQ(run.Name, "crash");
            EXPECT_EQ(run.State, TasState::Stopped);
            EXPECT_EQ(run.InputsApplied, recorded.applied);
            EXPECT_EQ(run.CurrentFrame, recorded.currentFrame);
            EXPECT_EQ(frames, RecoveredFrames(run));
        } else {
            ADD_FAILURE() << "no unsaved run found";
        }
        EXPECT_EQ(run.Data.Inputs.size(), recorded.inputs.size());
        EXPECT_EQ(run.Data.TeleportFrames, recorded.teleports);
        EXPECT_EQ(run.Data.Markers, recorded.markers);
        const size_t applied = std::min(run.Data.Inputs.size(), recorded.inputs.size());
        EXPECT_EQ(FirstDifference(run.Data.Inputs, recorded.inputs, applied), applied);
        EXPECT_EQ(FirstDifference(run.Data.Trace, recorded.trace, applied), applied);
        EXPECT_LE(run.PendingInputs.size(), recorded.pending.size());
        const size_t pending = std::min(run.PendingInputs.size(), recorded.pending.size());
        EXPECT_EQ(FirstDifference(run.PendingInputs, recorded.pending, pending), pending);
        EXPECT_EQ(FirstDifference(run.PendingTrace, recorded.pendingTrace, pending), pending);
        const uint64_t lost = recorded.frames - frames;
        // The recovered take-over applies like the one that was recorded.
        again.RunLine("tas_update");
        EXPECT_TRUE(run.InputsApplied);
        EXPECT_EQ(run.Data.Inputs.size(), frames);
        return lost;
    }

    TempFolder crashed;
    std::filesystem::path crashFolder = crashed.path();
};

TEST_F(CrashRecoveryTest, ACrashWhileRecordingLosesLessThanASecond) {
    uint64_t worst = 0;
    for (int ticks : {1, 119, 120, 250, 601}) {
        SCOPED_TRACE(ticks);
        crashFolder = crashed.path() / std::to_string(ticks);
        const auto lines = NewRunRecording(ticks);
        const RunCopy recorded = PlayHere(lines);
        ASSERT_EQ(recorded.pending.size(), static_cast<size_t>(ticks));
        PlayAndCrash(lines, ticks - ticks % RecordingBlock::Capacity);
        const uint64_t lost = RecoverAndCompare(recorded);
        EXPECT_LT(lost, RecordingBlock::Capacity);
        worst = std::max(worst, lost);
    }
    RecordProperty("worst_frames_lost", static_cast<int>(worst));
    std::printf("worst frames lost: %llu\n", static_cast<unsigned long long>(worst));
}

TEST_F(CrashRecoveryTest, ACrashRightAfterAnUpdateAndAMarkerLosesNothing) {
    auto lines = NewRunRecording(300);
    lines.insert(lines.end(), {"tas_stop", "tas_update", "tas_marker 120 flip here"});
    const RunCopy recorded = PlayHere(lines);
    ASSERT_TRUE(recorded.applied);
    ASSERT_EQ(recorded.inputs.size(), 300u);
    ASSERT_EQ(recorded.markers, (std::vector<Marker>{{120, "flip here"}}));
    PlayAndCrash(lines, 300, 0, true, 0, 1);
    EXPECT_EQ(RecoverAndCompare(recorded), 0u);
}

TEST_F(CrashRecoveryTest, ACrashInTheMiddleOfATakeOverKeepsTheRunAndMostOfTheTakeOver) {
    auto lines = NewRunRecording(300);
    lines.insert(lines.end(), {"tas_stop", "tas_update", "tas_start", "sim_tick 24", "sim_tick 100",
                               "sim_tick 1 steer=1"});
    Record(lines, 200, 3);
    const RunCopy recorded = PlayHere(lines);
    ASSERT_FALSE(recorded.applied);
    ASSERT_GT(recorded.currentFrame, 50u); // taken over inside the run
    ASSERT_LT(recorded.currentFrame, 300u);
    ASSERT_GE(recorded.pending.size(), 150u);
    // The run's first recording, before its Update, is a take-over too: wait
    // for this one's full blocks.
    PlayAndCrash(lines, 0,
                 recorded.pending.size() / RecordingBlock::Capacity * RecordingBlock::Capacity,
                 false, recorded.currentFrame);
    EXPECT_LT(RecoverAndCompare(recorded), RecordingBlock::Capacity);
}

} // namespace
