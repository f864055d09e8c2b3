// The session runner's transcript forms, which acceptance scripts parse.
#include "Session.h"
#include "PluginHarness.h"

#include "runs/files/RunFile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace {

class SessionTest : public ::testing::Test {
protected:
    SessionTest() : host(data.path()), session(host, GYROLOG_PLUGIN_PATH) {}

    std::vector<std::string> Run(const std::string& script) {
        host.ClearRecords();
        std::istringstream lines(script);
        session.Run(lines, false);
        return host.Transcript();
    }

    TempFolder data;
    sim::Host host;
    sim::Session session;
};

TEST_F(SessionTest, TranscriptForms) {
    ASSERT_TRUE(session.LoadPlugin());
    auto lines = Run("sim_trace 1\n"
                     "sim_tick 1 throttle=0.5 steer=-1 jump flags=0x20\n"
                     "sim_tick 1 throttle=1 boost handbrake=1\n"
                     "tas_checkjump\n"
                     "tas_start\n"
                     "nope\n");
    const std::vector<std::string> expected = {
        "> sim_trace 1",
        "> sim_tick 1 throttle=0.5 steer=-1 jump flags=0x20",
        "tick 1: throttle=0.5 steer=-1 pitch=0 yaw=0 roll=0 flipforward=0 flipsideways=0 "
        "flags=0x20",
        "> sim_tick 1 throttle=1 boost handbrake=1",
        "tick 2: throttle=1 steer=0 pitch=0 yaw=0 roll=0 flipforward=0 flipsideways=0 flags=0x5",
        "> tas_checkjump",
        "tas_checkjump = 0",
        "> tas_start",
        "toast 3: Gyrolog: Other hitbox expected, Octane hitbox detected",
        "> nope",
        "error: unknown command or variable 'nope'",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(SessionTest, StateAndCanvasLines) {
    ASSERT_TRUE(session.LoadPlugin());
    auto lines = Run("sim_car none\nsim_state\nsim_canvas\n");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[2], "car: none");
    EXPECT_EQ(lines[3], "ball: location=0 0 92.75 rotation=0 0 0 velocity=0 0 0 "
                        "angularvelocity=0 0 0");
    EXPECT_EQ(lines[4], "speed: 1");
    EXPECT_EQ(lines[6], "canvas: \"Gyrolog\" at 905 80 scale 3 3 color 255 255 255 255");
    lines = Run("sim_car octane\nsim_boost 50\nsim_ballspin 0 0 2\nsim_state\n");
    EXPECT_EQ(lines[4], "car: location=0 -4608 17 rotation=0 16384 0 velocity=0 0 0 "
                        "angularvelocity=0 0 0 boost=50 jumped=0 doublejumped=0");
    EXPECT_EQ(lines[5], "ball: location=0 0 92.75 rotation=0 0 0 velocity=0 0 0 "
                        "angularvelocity=0 0 2");
}

TEST_F(SessionTest, ReloadedPluginPlaysAtTheSpeedsTheConsoleHolds) {
    ASSERT_TRUE(session.LoadPlugin());
    Run("tas_replayspeed 0.5\ntas_recordspeed 0.25\nsim_unload\nsim_load\n");
    EXPECT_TRUE(host.ExecutedCommands().empty());
    Run("sim_ui_click Controls\nsim_ui_click \"New TAS\"\nsim_ui_edit \"TAS Name\"\n"
        "sim_ui_type run\nsim_ui_click Create\nsim_ui_frame\ntas_start\nsim_wait 0.2\n");
    EXPECT_EQ(host.ExecutedCommands(), std::vector<std::string>{"sv_soccar_gamespeed 0.500000"});
    auto lines = Run("sim_tick 1\nsim_ui_show\n");
    EXPECT_EQ(lines[1], "exec: sv_soccar_gamespeed 0.250000");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ui: 0.250 [at 4%] | Recording Speed"),
              lines.end());
    EXPECT_TRUE(host.Errors().empty());
}

TEST_F(SessionTest, BadUsageIsAnErrorAndTheSessionGoesOn) {
    ASSERT_TRUE(session.LoadPlugin());
    auto lines =
        Run("sim_tick x\nsim_freeplay 2\nsim_tick 1 warp=1\nsim_after 0 \"sim_freeplay 0\"\n"
            "sim_wait 0\ntas_start\n");
    EXPECT_EQ(host.Errors(),
              (std::vector<std::string>{"usage: sim_tick N [control=value ...]",
                                        "usage: sim_freeplay 0|1", "unknown control 'warp'"}));
    EXPECT_FALSE(host.GetWorld().freeplay);
    EXPECT_TRUE(host.Toasts().empty()); // not in freeplay: the start is refused quietly
    Run("sim_boost 100.5\nsim_boost x\nsim_ballspin 1 y 2\n");
    const char* boost = "usage: sim_boost AMOUNT (0 to 100 on the gauge)";
    EXPECT_EQ(host.Errors(), (std::vector<std::string>{boost, boost, "usage: sim_ballspin X Y Z"}));
}

TEST_F(SessionTest, NudgedReplaySaysWhereItDriftedInTheLogAndOnThePage) {
    ASSERT_TRUE(session.LoadPlugin());
    Run("sim_ui_click Controls\nsim_ui_click \"New TAS\"\nsim_ui_edit \"TAS Name\"\n"
        "sim_ui_type run\nsim_ui_click Create\nsim_ui_frame\ntas_start\nsim_wait 0.2\n"
        "sim_tick 60 throttle=1 steer=0.5\ntas_stopandupdate\nsim_ui_click \"Loaded TAS\"\n");
    auto lines = Run("sim_ui_show\n");
    for (auto expected : {"ui: Trace: 60 frames", "ui: Last replay: none yet"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), 1) << expected;
    }
    lines = Run("tas_start\nsim_wait 0.2\nsim_tick 20\nsim_nudge 0 40 0\nsim_tick 40\n"
                "sim_nudge 1 2\nsim_ui_show\n");
    for (auto expected : {"log: Replay drifted from the recording at frame 20: car 40.0 uu, "
                          "ball 0.0 uu away",
                          "toast 2: Gyrolog: Replay drifted from the recording at frame 20",
                          "ui: Last replay: drifted at frame 20"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), 1) << expected;
    }
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"usage: sim_nudge DX DY DZ"});
}

TEST_F(SessionTest, PageLinesCarryWidgetStates) {
    ASSERT_TRUE(session.LoadPlugin());
    auto lines = Run("sim_ui_click Settings\n"
                     "sim_ui_click \"Popup Settings\"\n"
                     "sim_ui_show\n"
                     "sim_ui_hover \"Popup Settings\"\n"
                     "sim_ui_char U+22 22\n"
                     "sim_ui_scroll Gyrolog x\n"
                     "sim_ui_scroll Popup 1\n");
    for (auto expected : {"ui: [ ] Start Replay On Reset", "ui: Start Recording Options [closed]",
                          "ui: Popup Settings [open]", "ui: [x] Delete File Confirmation"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
    EXPECT_EQ(host.Errors(), (std::vector<std::string>{"usage: sim_ui_char U+HEX ...",
                                                       "usage: sim_ui_scroll WINDOW LINES",
                                                       "no window \"Popup\" is shown"}));
}

TEST(DemoTest, WholeSessionRunsAndWritesEveryScreenshot) {
    TempFolder folder;
    const std::string command = "cd " + folder.path().string() +
                                " && mkdir -p out/screenshots && " GYROLOG_SIM_PATH
                                " --data data " GYROLOG_DEMO_SCRIPT " > transcript.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream stream(folder.path() / "transcript.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    for (auto expected :
         {"toast 1: Gyrolog: TAS kickoff created", "toast 1: Gyrolog: kickoff saved to file",
          "toast 1: Gyrolog: kickoff loaded", "exec: sv_soccar_gamespeed 0.500000",
          "canvas: \"Replaying\" at 585 118 scale 3 3 color 255 255 255 255",
          "path: replayed follows recorded for 239 points",
          "log: Replay drifted from the recording at frame 100: car 400.0 uu, ball 0.0 uu away",
          "path: replayed parts from recorded at point 100, 400 uu away",
          "ui: Last replay: drifted at frame 100"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("error:"); }),
              0);
    for (auto shot : {"recording", "replaying", "inputs", "drift", "piano-roll", "loaded-tas",
                      "files", "controls", "settings"}) {
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "out/screenshots" /
                                            (std::string(shot) + ".png")))
            << shot;
    }
}

#if defined(GYROLOG_CRASH_SHIM_PATH)
namespace fs = std::filesystem;

// A save ended by the shim at each of its file operations in turn (every
// write, flush, rename and removal), over an older run and trace of the same
// name; a fresh session then lists and loads the run. It must be the old
// pair or the new one, loaded with its trace, and nothing else may be left.
class InterruptedSaveTest : public ::testing::Test {
protected:
    fs::path Folder() const { return data.path() / "Gyrolog"; }

    void WriteOldPair(size_t traced = 5) {
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        TasData old;
        old.Hitbox = HitboxType::Octane;
        old.Inputs.assign(5, VehicleInput{0.25f});
        old.Trace.assign(traced, TraceEntry{});
        SaveRunFile(Folder() / "crash.data", old);
    }

    // The folder's files and their bytes.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            if (entry.is_directory()) {
                continue; // the recovery journals
            }
            files[entry.path().filename().string()] = FileBytes(entry.path());
        }
        return files;
    }

    // The session with the shim preloaded; its exit status.
    int SaveEndingAt(const std::string& script, long call) {
        // Absolute paths: the shim tells the folder's files by their paths. A
        // sanitizer's runtime then comes after the shim, which it allows.
        const std::string command =
            "ASAN_OPTIONS=verify_asan_link_order=0 GYROLOG_CRASH_DIR=" +
            fs::canonical(Folder()).string() + " GYROLOG_CRASH_AT=" + std::to_string(call) +
            " GYROLOG_CRASH_LOG=" + (log.path() / "calls").string() +
            " LD_PRELOAD=" GYROLOG_CRASH_SHIM_PATH " " GYROLOG_SIM_PATH " --data " +
            fs::canonical(data.path()).string() + " --plugin " GYROLOG_PLUGIN_PATH " " + script +
            " > " + (log.path() / "transcript").string();
        fs::remove(log.path() / "calls");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The shim's log line of that call.
    static std::string CallLine(const std::string& calls, long call) {
        std::istringstream lines(calls);
        std::string line;
        for (long i = 0; i < call; ++i) {
            std::getline(lines, line);
        }
        return line;
    }

    // Lists and loads crash in a fresh session: the run's inputs and whether
    // its trace loaded with it.
    std::pair<size_t, bool> ListAndLoad() {
        sim::Host fresh(data.path());
        EXPECT_TRUE(fresh.LoadPlugin(exports));
        GyrologTestAccess plugin{*static_cast<Gyrolog*>(fresh.Plugin())};
        plugin.LoadTas(plugin.FileIndex("crash"));
        EXPECT_EQ(fresh.Toasts().empty() ? "" : fresh.Toasts().back().text, "crash loaded");
        // The unsaved work of a save that never finished is found for recovery,
        // under its name before or after the rename, whichever its journal held
        // when the game ended, unless that came while the journal's first record
        // was written.
        for (const auto& line : fresh.Logs()) {
            const bool found = line.starts_with("Unsaved run fresh found: ") ||
                               line.starts_with("Unsaved run crash found: ");
            const bool torn =
                line.starts_with("Unsaved run run-") &&
                line.ends_with("it was cut short before the run was whole: moved "
                               "aside as " +
                               line.substr(12, line.find(' ', 12) - 12) + ".unreadable");
            EXPECT_TRUE(found || torn) << line;
        }
        const std::pair result{plugin.Run().Data.Inputs.size(), !plugin.Run().Data.Trace.empty()};
        fresh.UnloadPlugin();
        return result;
    }

    TempFolder data;
    TempFolder log;
};

TEST_F(InterruptedSaveTest, EveryStepLeavesTheOldPairOrTheNewOne) {
    const std::string newRun = "sim_car octane\nsim_freeplay 1\ntas_confirmoverwritefile 0\n"
                               "sim_ui_click Controls\nsim_ui_click \"New TAS\"\n"
                               "sim_ui_edit \"TAS Name\"\nsim_ui_type fresh\n"
                               "sim_ui_click Create\nsim_ui_frame\n";
    const std::string recorded = "sim_ui_click Start\nsim_tick 24\nsim_tick 30 throttle=1\n"
                                 "sim_ui_click Stop\nsim_ui_frame\nsim_ui_click Update\n"
                                 "sim_ui_frame\n";
    const std::string savedAsCrash =
        "sim_ui_click \"Loaded TAS\"\nsim_ui_click \"Change Name\"\nsim_ui_edit \"TAS Name\"\n"
        "sim_ui_type crash\nsim_ui_click Update\nsim_ui_frame\nsim_ui_click \"Save TAS\"\n"
        "sim_ui_frame\n";
    // A replay grows the old run's trace of its first 2 frames, and writes it
    // beside the run file it leaves as it is.
    const std::string grownTrace = "sim_car octane\nsim_freeplay 1\ntas_drifttolerance 100000\n"
                                   "sim_ui_click Files\nsim_ui_click Load\nsim_ui_frame\n"
                                   "tas_start\nsim_tick 40\n";
    const struct {
        const char* what;
        std::string script;
        size_t frames;
        bool traced;
        size_t oldTraced = 5;
        const char* line = "toast 1: Gyrolog: crash saved to file";
    } saves[] = {
        {"a recorded run with its trace", newRun + recorded + savedAsCrash, 30, true},
        {"a new run without a trace", newRun + savedAsCrash, 0, false},
        {"a trace grown beside its run file", grownTrace, 5, true, 2,
         "log: Trace of crash written beside its run file: 5 of 5 frames"},
    };
    long points = 0;
    for (const auto& save : saves) {
        const fs::path script = log.path() / "save.sim";
        std::ofstream(script) << save.script;
        WriteOldPair(save.oldTraced);
        const auto oldFiles = Files();
        ASSERT_EQ(SaveEndingAt(script.string(), 0), 0) << save.what;
        ASSERT_NE(FileBytes(log.path() / "transcript").find(save.line), std::string::npos)
            << FileBytes(log.path() / "transcript");
        const auto newFiles = Files();
        ASSERT_EQ(newFiles.size(), save.traced ? 2u : 1u) << save.what;
        const std::string calls = FileBytes(log.path() / "calls");
        const long steps = std::count(calls.begin(), calls.end(), '\n');
        ASSERT_GT(steps, 5) << calls;

        int olds = 0;
        for (long call = 1; call <= steps; ++call) {
            WriteOldPair(save.oldTraced);
            ASSERT_EQ(SaveEndingAt(script.string(), call), 86) << save.what << ", call " << call;
            const auto [frames, traced] = ListAndLoad();
            const auto left = Files();
            const bool old = left == oldFiles;
            EXPECT_TRUE(old || left == newFiles)
                << save.what << ", ended at call " << CallLine(calls, call) << ", " << left.size()
                << " files left";
            EXPECT_EQ(frames, old ? 5u : save.frames) << save.what << ", call " << call;
            EXPECT_EQ(traced, old || save.traced) << save.what << ", call " << call;
            olds += old;
        }
        // The run file's rename is the one step that makes the new pair current.
        EXPECT_GT(olds, 0) << save.what;
        EXPECT_LT(olds, steps) << save.what;
        std::cout << save.what << ": " << steps << " file operations, the old pair stays at "
                  << olds << " of them\n";
        points += steps;
    }
    RecordProperty("crash_points", static_cast<int>(points));
}
#endif

} // namespace
