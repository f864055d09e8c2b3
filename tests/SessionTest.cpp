// The session runner's transcript forms, which acceptance scripts parse.
#include "Session.h"
#include "PluginHarness.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

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
    for (auto shot :
         {"recording", "replaying", "drift", "loaded-tas", "files", "controls", "settings"}) {
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "out/screenshots" /
                                            (std::string(shot) + ".png")))
            << shot;
    }
}

} // namespace
