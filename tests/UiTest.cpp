// The settings page as a player sees and uses it: real Dear ImGui frames,
// read from what is drawn and driven by mouse and keyboard events.
#include "FailingAllocations.h"
#include "PluginHarness.h"
#include "runs/record/TasFormat.h"
#include "runs/recovery/RecoveryJournal.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>
#if !defined(_WIN32)
#include <sys/mount.h>
#include <sys/stat.h>
#endif
#include <stb/stb_image.h>

namespace {

namespace fs = std::filesystem;

class UiTest : public PluginTest {
protected:
    sim::Ui& Ui() { return host.GetUi(); }
    std::vector<std::string> Show() { return sim::Ui::Lines(Ui().Show()); }
    bool Shows(const std::string& line) {
        auto lines = Show();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // A line that begins so: a bar of buttons wraps with the window's width.
    bool ShowsStart(const std::string& start) {
        auto lines = Show();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.starts_with(start); });
    }
    std::string Tooltip() {
        for (auto& line : Show()) {
            if (line.starts_with("ui tooltip: ")) {
                return line.substr(12);
            }
        }
        return "";
    }
    void Click(const std::string& text, int index = 0) {
        ASSERT_EQ(Ui().Click(text, index), "") << text;
    }
    void Tab(const std::string& name) {
        Click(name);
        Ui().Frame();
    }
    // Types into the field labelled label, replacing what it holds.
    void Enter(const std::string& label, const std::string& text, int index = 0) {
        ASSERT_EQ(Ui().Edit(label, index), "") << label;
        Ui().Type(text);
        ASSERT_EQ(Ui().Key("enter"), "");
        Ui().Frame();
    }
    void SaveRunFile(const std::string& name) {
        std::ofstream stream(RunFolder() / (name + ".data"), std::ios::binary);
        WriteTas(stream, TasData());
    }
    // The index among the shown + buttons of the one in the row showing value.
    int PlusBeside(const std::string& value) {
        int index = 0;
        for (const auto& window : Ui().Show()) {
            for (const auto& row : window.rows) {
                const bool target = std::any_of(
                    row.begin(), row.end(), [&](const sim::UiText& t) { return t.text == value; });
                for (const auto& text : row) {
                    if (text.text == "+" && text.hidden.empty()) {
                        if (target) {
                            return index;
                        }
                        ++index;
                    }
                }
            }
        }
        return -1;
    }
    std::string Variable(const std::string& name) {
        return host.GetConsole().FindVariable(name)->value;
    }

    // The Inputs tab's table is wider than the page opens: widened first.
    void OpenInputs() {
        ASSERT_EQ(Ui().Resize("Gyrolog", 1200, 700), "");
        Tab("Inputs");
    }
    // Four frames: one of every control at 0, one with each kind of value,
    // a teleport frame, one with boost and jump held.
    void KnownRun() {
        CaptureRun("known");
        VehicleInput mixed;
        mixed.Throttle = 1.0f;
        mixed.Steer = -0.5f;
        mixed.Pitch = 0.25f;
        mixed.Yaw = 0.1f;
        mixed.Roll = -1.0f;
        mixed.FlipForward = 0.5f;
        mixed.FlipSideways = -0.75f;
        mixed.Flags = VehicleInputFlag::Jump | VehicleInputFlag::BoostHeld | (1u << 9);
        Run().Data.Inputs = {VehicleInput{}, mixed, Input(0.75f, VehicleInputFlag::Handbrake),
                             Input(-1.0f, VehicleInputFlag::ActivateBoost |
                                              VehicleInputFlag::JumpHeld | 0x80000000u)};
        Run().Data.TeleportFrames = {2};
    }
    // A run of frames whose throttle is 0.5 and whose frame numbers are the
    // only whole numbers above 1 in the table.
    void LongRun(size_t frames) {
        CaptureRun("long");
        Run().Data.Inputs.assign(frames, Input(0.5f));
    }
    // The table's row of frame with throttle 0.5 and nothing else set.
    static std::string HalfRow(uint64_t frame, const std::string& marks = "",
                               const std::string& selected = "") {
        return "ui: " + marks + (marks.empty() ? "" : " | ") + std::to_string(frame) + selected +
               " | 0.5 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0";
    }
    // The lines of the table, its header first.
    std::vector<std::string> Table() {
        auto lines = Show();
        auto header = std::find(lines.begin(), lines.end(), InputsHeader);
        return std::vector<std::string>(header, lines.end());
    }
    static constexpr const char* InputsHeader = "ui: ? | frame | thr | str | pit | yaw | rol | ffw "
                                                "| fsw | hb | jmp | bst | bh | jh | other";
};

TEST_F(UiTest, PageShowsFourTabsAndInputsOnceARunIsLoaded) {
    auto lines = Show();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ui: Gyrolog");
    EXPECT_EQ(lines[1], "ui: Files | Loaded TAS | Controls | Settings");
    EXPECT_EQ(lines[2], "ui: Create a TAS and save it to see it here");
    EXPECT_EQ(lines[3], "ui: Refresh List");
    CaptureRun();
    Ui().Frame(); // a new tab is laid out in its first frame, shown from the second
    EXPECT_EQ(Show()[1], "ui: Files | Loaded TAS | Inputs | Controls | Settings");
}

TEST_F(UiTest, FilesListsRowsWithLoadAndDelete) {
    SaveRunFile("alpha");
    SaveRunFile("beta");
    Click("Refresh List");
    EXPECT_TRUE(Plugin().Files().empty()); // deferred to the game thread
    Ui().Frame();
    std::vector<std::string> rows;
    for (auto& line : Show()) {
        if (line.ends_with("| Load | Delete")) {
            rows.push_back(line);
        }
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "ui: " + Plugin().Files()[0].Name + " | Load | Delete");
    EXPECT_EQ(rows[1], "ui: " + Plugin().Files()[1].Name + " | Load | Delete");
}

// Long names give way to the buttons beside them, shown whole in a tooltip.
TEST_F(UiTest, LongNamesAreCutSoTheirButtonsStayInReach) {
    const std::string name(RoomForName(RunFolder()), 'n');
    CaptureRun(name);
    Tab("Loaded TAS");
    bool cut = false;
    for (auto& line : Show()) {
        cut =
            cut || (line.starts_with("ui: TAS Name: nnn") && line.ends_with("n... | Change Name"));
    }
    EXPECT_TRUE(cut);
    Click("Change Name");
    EXPECT_TRUE(Shows("ui popup: Change TAS Name"));
    Click("Cancel");

    SaveRunFile(name);
    Plugin().RefreshTasFiles();
    Tab("Files");
    std::string row;
    for (auto& line : Show()) {
        if (line.ends_with("| Load | Delete")) {
            row = line;
        }
    }
    ASSERT_TRUE(row.starts_with("ui: nnnnnnnnnn")) << row;
    EXPECT_TRUE(row.ends_with("n... | Load | Delete")) << row;
    const std::string shown = row.substr(4, row.find(" | ") - 4);
    ASSERT_EQ(Ui().Hover(shown), "");
    EXPECT_EQ(Tooltip(), name);
    Click("Load");
    Ui().Frame();
    EXPECT_EQ(LastToast(), name + " loaded");
}

TEST_F(UiTest, LoadIsDeferredToTheGameThread) {
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    Click("Load");
    EXPECT_TRUE(host.Toasts().empty());
    Ui().Frame();
    EXPECT_EQ(LastToast(), "alpha loaded");
}

TEST_F(UiTest, StaleLoadIndexIsIgnored) {
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    Click("Load");
    fs::remove(RunFolder() / "alpha.data");
    Plugin().RefreshTasFiles();
    Ui().Frame();
    EXPECT_TRUE(host.Toasts().empty());
}

TEST_F(UiTest, DeleteAsksFirstAndCancelKeepsTheFile) {
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    Click("Delete");
    EXPECT_EQ(Plugin().SelectedFile(), 0);
    EXPECT_TRUE(Shows("ui popup: Delete Confirm"));
    EXPECT_TRUE(Shows("ui popup: Are you sure you want to delete this run?"));
    EXPECT_TRUE(Shows("ui popup: File: alpha.data"));
    EXPECT_TRUE(Shows("ui popup: Delete | Cancel"));
    Click("Cancel");
    Ui().Frame();
    EXPECT_EQ(Plugin().SelectedFile(), -1);
    EXPECT_TRUE(fs::exists(RunFolder() / "alpha.data"));
    EXPECT_FALSE(Shows("ui popup: Are you sure you want to delete this run?"));

    Click("Delete");
    Click("Delete"); // the popup's, which is in front
    EXPECT_TRUE(fs::exists(RunFolder() / "alpha.data"));
    Ui().Frame();
    EXPECT_FALSE(fs::exists(RunFolder() / "alpha.data"));
    EXPECT_EQ(Plugin().SelectedFile(), -1);
    EXPECT_TRUE(Shows("ui: Create a TAS and save it to see it here"));
}

TEST_F(UiTest, DeleteWithoutConfirmationRemovesAtOnce) {
    host.RunLine("tas_confirmfiledelete 0");
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    Click("Delete");
    Ui().Frame();
    EXPECT_FALSE(fs::exists(RunFolder() / "alpha.data"));
    EXPECT_EQ(Plugin().SelectedFile(), -1);
}

// The list changed between the click and the deferred deletion: the row now
// holds another file, which stays.
TEST_F(UiTest, DeferredDeletionTouchesOnlyTheClickedFile) {
    host.RunLine("tas_confirmfiledelete 0");
    for (const char* name : {"alpha", "beta", "gamma"}) {
        SaveRunFile(name);
    }
    Plugin().RefreshTasFiles();
    const auto listed = Plugin().Files();
    Click("Delete", 1);
    fs::remove(listed[0].Path);
    Plugin().RefreshTasFiles();
    ASSERT_NE(Plugin().Files()[1].Path, listed[1].Path) << "the relisting kept the order";
    Ui().Frame();
    EXPECT_TRUE(fs::exists(listed[1].Path));
    EXPECT_TRUE(fs::exists(listed[2].Path));

    // Likewise while the confirmation is open.
    host.RunLine("tas_confirmfiledelete 1");
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    const auto relisted = Plugin().Files();
    Click("Delete", 1);
    fs::remove(relisted[0].Path);
    Plugin().RefreshTasFiles();
    ASSERT_NE(Plugin().Files()[1].Path, relisted[1].Path) << "the relisting kept the order";
    Click("Delete"); // the popup's, which is in front
    Ui().Frame();
    EXPECT_TRUE(fs::exists(relisted[1].Path));
    EXPECT_TRUE(fs::exists(relisted[2].Path));
}

TEST_F(UiTest, GameFunctionsFromTheRenderThreadAreRefused) {
    auto& game = *host.Plugin()->gameWrapper;
    auto& console = *host.Plugin()->cvarManager;
    bool inFreeplay = true;
    bool carFound = true;
    bool boolValue = false;
    int executed = 0;
    Ui().StartFreeRunning([&](sim::Ui&) {
        if (executed++ > 0) {
            return;
        }
        inFreeplay = game.IsInFreeplay();
        carFound = static_cast<bool>(game.GetLocalCar());
        game.SetTimeout([](GameWrapper*) {}, 1.0f);
        console.executeCommand("tas_stop", true);
        console.getCvar("tas_checkboost").setValue(0);
        // What the page may use there.
        boolValue = console.getCvar("tas_checkboost").getBoolValue();
        game.Execute([&](GameWrapper*) { inFreeplay = game.IsInFreeplay(); });
        game.Toast("Gyrolog", "from the page", "default", 3.5f, 0, 290.0f, 60.0f);
        console.log("from the page");
    });
    Ui().StopFreeRunning();
    EXPECT_FALSE(carFound);
    EXPECT_TRUE(boolValue);
    EXPECT_EQ(host.Errors(),
              (std::vector<std::string>{
                  "game function GameWrapper::IsInFreeplay called from the render thread",
                  "game function GameWrapper::GetLocalCar called from the render thread",
                  "game function GameWrapper::SetTimeout called from the render thread",
                  "game function CVarManagerWrapper::executeCommand called from the render thread",
                  "game function CVarWrapper::setValue called from the render thread",
              }));
    EXPECT_EQ(LastToast(), "from the page");
    EXPECT_EQ(LastLog(), "from the page");
    EXPECT_FALSE(inFreeplay);
    host.RunExecuteQueue(); // on the game thread
    EXPECT_TRUE(inFreeplay);
}

TEST_F(UiTest, LoadedTasTabWithoutRun) {
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows("ui: Load/Create a TAS to get going!"));
}

TEST_F(UiTest, StartingStateEditsChangeTheRunInPlace) {
    CaptureRun("edited");
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows("ui: TAS Name: edited | Change Name"));
    EXPECT_TRUE(Shows("ui: Air Sensitivity: 1.000000"));
    EXPECT_TRUE(Shows("ui: Steer Sensitivity: 1.000000"));
    EXPECT_TRUE(Shows("ui: Hitbox type: Octane"));
    Click("Car Starting State");
    Click("Location");
    const float x = Run().Data.CarStart.Location.X;
    Click("+");
    EXPECT_EQ(Run().Data.CarStart.Location.X, x + 1.0f);
    Ui().HoldCtrl(true);
    Click("+");
    Ui().HoldCtrl(false);
    EXPECT_EQ(Run().Data.CarStart.Location.X, x + 11.0f);
    Enter("Y", "-123.5");
    EXPECT_EQ(Run().Data.CarStart.Location.Y, -123.5f);
    EXPECT_TRUE(Shows("ui: -123.50000 | - | + | Y"));

    Click("Rotation");
    const int pitch = Run().Data.CarStart.Rotation.Pitch;
    Click("+", 3); // location X, Y, Z, then pitch
    EXPECT_EQ(Run().Data.CarStart.Rotation.Pitch, pitch + 1);
    Ui().HoldCtrl(true);
    Click("-", 3);
    Ui().HoldCtrl(false);
    EXPECT_EQ(Run().Data.CarStart.Rotation.Pitch, pitch - 99);

    EXPECT_TRUE(Shows("ui: [x] Enabled"));
    Click("Enabled");
    EXPECT_FALSE(Run().Data.CarStart.Enabled);
    EXPECT_TRUE(Shows("ui: [ ] Enabled"));
}

TEST_F(UiTest, StartingStateEditDropsTheTraceEvenDuringAReplay) {
    CaptureRun("traced");
    host.RunLine("tas_start");
    Tick(30); // the run has no inputs: it records from its first tick
    Tick(150, Input(1.0f));
    host.RunLine("tas_stopandupdate");
    const size_t frames = Run().Data.Trace.size();
    ASSERT_GT(frames, 150u);
    ASSERT_EQ(frames, Run().Data.Inputs.size());
    const std::string traced = "ui: Trace: " + std::to_string(frames) + " frames";
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows(traced));
    Click("Car Starting State");
    Click("Location");
    // Into a field and out again without a change: the trace stays.
    ASSERT_EQ(Ui().Edit("X"), "");
    ASSERT_EQ(Ui().Key("escape"), "");
    Ui().Frame();
    EXPECT_TRUE(Shows(traced));

    // A replay placed at a keyframe says where its check began.
    host.RunLine("tas_playfrom 130");
    Tick(30 + static_cast<int>(frames) - 120);
    EXPECT_TRUE(Shows("ui: Last replay: faithful from frame 120 (" + std::to_string(frames - 120) +
                      " frames checked)"));
    host.RunLine("tas_stop");

    host.RunLine("tas_start");
    Tick(40);
    ASSERT_EQ(Run().State, TasState::Replaying);
    EXPECT_TRUE(Shows("ui: Last replay: being checked"));
    Click("+");
    Ui().Frame();
    EXPECT_TRUE(Shows("ui: Trace: none, replays are not checked"));
    EXPECT_TRUE(Run().Data.Trace.empty());
    Tick(static_cast<int>(frames)); // the replay goes on unchecked, then records
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_TRUE(Shows("ui: Last replay: not checked"));

    // What this replay recorded began from the old start: no trace either.
    host.RunLine("tas_stopandupdate");
    EXPECT_TRUE(Run().Data.Trace.empty());
    Plugin().SaveTas();
    EXPECT_TRUE(fs::exists(RunFolder() / "traced.data"));
    EXPECT_FALSE(fs::exists(RunFolder() / "traced.data.trace"));
}

TEST_F(UiTest, UndoAndRedoTakeBackEachCommittedFieldAndRename) {
    CaptureRun("edited");
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(30, Input(1.0f)); // the run has no inputs: it records from its first tick
    host.RunLine("tas_stopandupdate");
    const StartingState start = Run().Data.CarStart;
    Tab("Loaded TAS");
    ASSERT_TRUE(Shows("ui: Trace: 30 frames"));
    EXPECT_TRUE(Shows("ui: Undo | Redo [disabled]"));
    ASSERT_EQ(Ui().Hover("Redo"), "");
    EXPECT_EQ(Tooltip(), "Nothing to redo");
    Click("Car Starting State");
    Click("Location");
    Click("+");
    Ui().Frame();
    EXPECT_TRUE(Shows("ui: Trace: none, replays are not checked"));
    // Typed over two frames and committed once: one step.
    ASSERT_EQ(Ui().Edit("Y"), "");
    Ui().Type("-123");
    Ui().Frame();
    Ui().Type(".5");
    ASSERT_EQ(Ui().Key("enter"), "");
    Ui().Frame();
    Ui().Frame();
    ASSERT_EQ(Run().Data.CarStart.Location.Y, -123.5f);
    ASSERT_EQ(Ui().Hover("Undo"), "");
    EXPECT_EQ(Tooltip(), "Undo edit of the car's starting state");

    Click("Undo");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Undone: edit of the car's starting state");
    EXPECT_EQ(Run().Data.CarStart.Location.Y, start.Location.Y);
    EXPECT_EQ(Run().Data.CarStart.Location.X, start.Location.X + 1.0f);
    Click("Undo");
    Ui().Frame();
    EXPECT_EQ(Run().Data.CarStart.Location.X, start.Location.X);
    EXPECT_TRUE(Shows("ui: Trace: 30 frames")) << "the trace comes back with its start";
    EXPECT_TRUE(Shows("ui: Undo | Redo"));
    ASSERT_EQ(Ui().Hover("Redo"), "");
    EXPECT_EQ(Tooltip(), "Redo edit of the car's starting state");
    Click("Redo");
    Ui().Frame();
    EXPECT_EQ(Run().Data.CarStart.Location.X, start.Location.X + 1.0f);
    EXPECT_TRUE(Shows("ui: Trace: none, replays are not checked"));

    Click("Change Name");
    Enter("TAS Name", "renamed");
    Click("Update");
    Ui().Frame();
    EXPECT_TRUE(Shows("ui: Undo | Redo [disabled]")) << "the rename dropped the redo";
    ASSERT_EQ(Ui().Hover("Undo"), "");
    EXPECT_EQ(Tooltip(), "Undo rename to renamed");
    Click("Undo");
    Ui().Frame();
    EXPECT_EQ(Run().Name, "edited");
    EXPECT_TRUE(Shows("ui: TAS Name: edited | Change Name"));
}

TEST_F(UiTest, LoadedTasTabTellsHowManyFramesTheTraceCovers) {
    CaptureRun("traced");
    host.RunLine("tas_start");
    Tick(30); // the run has no inputs: it records from its first tick
    Tick(60, Input(1.0f));
    host.RunLine("tas_stopandupdate");
    const size_t frames = Run().Data.Inputs.size();
    ASSERT_EQ(Run().Data.Trace.size(), frames);
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows("ui: Trace: " + std::to_string(frames) + " frames"));

    host.RunLine("tas_deleteframes 10 19");
    EXPECT_TRUE(Shows("ui: Trace: 10 of " + std::to_string(frames - 10) + " frames"));
    host.RunLine("tas_insertframes 0 1");
    EXPECT_TRUE(Shows("ui: Trace: none, replays are not checked"));

    // Frames added at the end leave the whole trace before them.
    CaptureRun("appended");
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(40);
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 40u);
    EXPECT_TRUE(Shows("ui: Trace: 40 frames"));
    host.RunLine("tas_insertframes 40 5 copy");
    EXPECT_TRUE(Shows("ui: Trace: 40 of 45 frames"));
}

TEST_F(UiTest, TreeNodesStayOpenAcrossTabSwitches) {
    CaptureRun();
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows("ui: Ball Starting State [closed]"));
    Click("Ball Starting State");
    EXPECT_TRUE(Shows("ui: Ball Starting State [open]"));
    EXPECT_TRUE(Shows("ui: [x] Enabled"));
    Tab("Files");
    Tab("Loaded TAS");
    EXPECT_TRUE(Shows("ui: [x] Enabled"));
    Click("Ball Starting State");
    EXPECT_FALSE(Shows("ui: [x] Enabled"));
    EXPECT_TRUE(Shows("ui: Ball Starting State [closed]"));
}

// With every node open the tab is longer than the window: the ball's rows
// and Save TAS are reached by scrolling, as a player does.
TEST_F(UiTest, BallBlockIsReachedByScrolling) {
    World().GetBall()->location = {100.0f, 200.0f, 92.75f};
    CaptureRun("long");
    Tab("Loaded TAS");
    for (auto node :
         {"Ball Starting State", "Location", "Rotation", "Velocity", "Angular Velocity",
          "Car Starting State", "Location", "Rotation", "Velocity", "Angular Velocity"}) {
        Click(node); // the ball's nodes first, while the car's are closed
    }
    EXPECT_EQ(Ui().Click("Save TAS"), "\"Save TAS\" is not shown");
    EXPECT_FALSE(Shows("ui: 200.00000 | - | + | Y"));
    ASSERT_EQ(Ui().Scroll("Gyrolog", 1000), "");
    EXPECT_TRUE(Shows("ui: Save TAS"));
    EXPECT_FALSE(Shows("ui: Files | Loaded TAS | Inputs | Controls | Settings"));
    EXPECT_TRUE(Shows("ui: 200.00000 | - | + | Y"));
    Click("+", PlusBeside("200.00000"));
    EXPECT_EQ(Run().Data.BallStart.Location.Y, 201.0f);
    EXPECT_EQ(Run().Data.CarStart.Location.Y, -4608.0f);
    // Back over the Branches header below Save TAS.
    ASSERT_EQ(Ui().Scroll("Gyrolog", -2), "");
    Click("Enabled"); // the car's is scrolled away
    EXPECT_FALSE(Run().Data.BallStart.Enabled);
    EXPECT_TRUE(Run().Data.CarStart.Enabled);
    Click("Save TAS");
    Ui().Frame();
    EXPECT_EQ(LastToast(), "long saved to file");

    ASSERT_EQ(Ui().Scroll("Gyrolog", -1000), "");
    EXPECT_TRUE(Shows("ui: Files | Loaded TAS | Inputs | Controls | Settings"));
    EXPECT_EQ(Ui().Scroll("Nowhere", 1), "no window \"Nowhere\" is shown");
}

TEST_F(UiTest, RenameRefusesBadNamesWithTooltips) {
    CaptureRun("old");
    Tab("Loaded TAS");
    Click("Change Name");
    EXPECT_TRUE(Shows("ui popup: Change TAS Name"));
    EXPECT_TRUE(Shows("ui popup: Name: | old | TAS Name"));
    Enter("TAS Name", "dropped");
    Click("Cancel");
    EXPECT_EQ(Run().Name, "old");
    EXPECT_TRUE(Run().NameEdit.empty());
    EXPECT_FALSE(Shows("ui popup: Change TAS Name"));

    Click("Change Name");
    Enter("TAS Name", "bad.name");
    EXPECT_TRUE(Shows("ui popup: Update [disabled] | Cancel"));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Name can't contain these charaters \\/:*?\"<>|.");
    Click("Update");
    EXPECT_EQ(Run().Name, "old");

    ASSERT_EQ(Ui().Edit("TAS Name"), "");
    ASSERT_EQ(Ui().Key("backspace"), "");
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "TAS name can't be empty");

    Enter("TAS Name", "Con");
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Name can't be a device name like CON, PRN, AUX, NUL, COM1 or LPT1");
    Click("Update");
    EXPECT_EQ(Run().Name, "old");

    // A double quote is one of the forbidden characters; typed by number.
    ASSERT_EQ(Ui().Edit("TAS Name"), "");
    Ui().Type("say");
    Ui().TypeCodepoints({'"', 'h', 'i', '"'});
    EXPECT_TRUE(Shows("ui popup: Name: | say\"hi\" | TAS Name"));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Name can't contain these charaters \\/:*?\"<>|.");

    // A backend that hands over the two UTF-16 halves of an emoji one by one.
    ASSERT_EQ(Ui().Edit("TAS Name"), "");
    Ui().TypeCodepoints({'e', 0xD83D, 0xDE00});
    EXPECT_FALSE(IsValidUtf8(Run().NameEdit));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Name must be valid text");
    Click("Update");
    EXPECT_EQ(Run().Name, "old");

    Enter("TAS Name", std::string(MaxTasNameBytes + 1, 'n'));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Name can't be longer than 200 bytes");
    ASSERT_LT(RoomForName(RunFolder()), MaxTasNameBytes);
    Enter("TAS Name", std::string(RoomForName(RunFolder()) + 1, 'n'));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "TAS name is too long for the run folder");

    Enter("TAS Name", "café ñ");
    EXPECT_EQ(Run().NameEdit, "café ñ"); // one character each, not their bytes
    Click("Update");
    EXPECT_EQ(Run().Name, "café ñ");
    EXPECT_TRUE(Run().NameEdit.empty());
    EXPECT_TRUE(Shows("ui: TAS Name: café ñ | Change Name"));
}

TEST_F(UiTest, SaveAsksBeforeOverwriting) {
    CaptureRun("saved");
    Tab("Loaded TAS");
    Click("Save TAS");
    EXPECT_FALSE(fs::exists(RunFolder() / "saved.data")); // deferred to the game thread
    Ui().Frame();
    EXPECT_EQ(LastToast(), "saved saved to file");
    ASSERT_EQ(Plugin().Files().size(), 1u);

    Run().Data.Inputs.assign(3, VehicleInput{});
    Click("Save TAS");
    EXPECT_TRUE(Shows("ui popup: Overwrite Confirm"));
    EXPECT_TRUE(Shows("ui popup: TAS file already exisits, would you like to overwrite it?"));
    EXPECT_TRUE(Shows("ui popup: File: saved.data"));
    Click("Cancel");
    Ui().Frame();
    EXPECT_EQ(fs::file_size(RunFolder() / "saved.data"), TasFileSize(0, 0));
    Click("Save TAS");
    Click("Overwrite");
    Ui().Frame();
    EXPECT_EQ(fs::file_size(RunFolder() / "saved.data"), TasFileSize(3, 0));

    Run().Name = "Saved"; // the same file on Windows
    Click("Save TAS");
    EXPECT_FALSE(Shows("ui popup: Overwrite Confirm"));
    EXPECT_EQ(LastToast(), "TAS name clashes with saved, which differs only in letter case");
    Ui().Frame();
    EXPECT_FALSE(fs::exists(RunFolder() / "Saved.data"));
    Run().Name = "saved";

    host.RunLine("tas_confirmoverwritefile 0");
    Run().Data.Inputs.clear();
    Click("Save TAS");
    Ui().Frame();
    EXPECT_EQ(fs::file_size(RunFolder() / "saved.data"), TasFileSize(0, 0));
}

// The page's frame goes on after a failure inside it: the host's window ends
// as usual and the next frames draw the page again.
TEST_F(UiTest, AFailureInThePageIsReportedAndTheFrameRecovers) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "allocations cannot be made to fail under the address sanitizer";
#endif
    CaptureRun();
    Tab("Loaded TAS");
    Run().Name = std::string(size_t{4} << 20, 'n'); // too long to show with memory short
    {
        const AllocationsFailFrom failing(size_t{2} << 20);
        Ui().Frame();
    }
    Run().Name = "run";
    Ui().Frame(); // the tab bar lays out again the tabs the failed frame left out
    EXPECT_TRUE(host.Errors().empty());
    EXPECT_EQ(LastLog(), "Error in settings page: std::bad_alloc");
    EXPECT_TRUE(Shows("ui: Files | Loaded TAS | Inputs | Controls | Settings"));
    Tab("Controls");
    EXPECT_TRUE(Shows("ui: 1.000 [at 19%] | Replaying Speed"));
    Tab("Loaded TAS");
    Click("Save TAS");
    Ui().Frame();
    EXPECT_EQ(LastToast(), "run saved to file");
}

TEST_F(UiTest, SaveWithoutNameToastsAtOnce) {
    CaptureRun();
    Run().Name.clear();
    Tab("Loaded TAS");
    Click("Save TAS");
    EXPECT_EQ(LastToast(), "TAS name can't be empty");
    EXPECT_TRUE(fs::is_empty(RunFolder()));
}

TEST_F(UiTest, ControlsOutsideFreeplayAreDisabledWithTheirReasons) {
    World().freeplay = false;
    Tab("Controls");
    EXPECT_TRUE(
        Shows("ui: Start [disabled] | Stop [disabled] | Update [disabled] | New TAS [disabled]"));
    for (auto button : {"Start", "Stop", "Update"}) {
        ASSERT_EQ(Ui().Hover(button), "");
        EXPECT_EQ(Tooltip(), "Enter freeplay and load a TAS for controls") << button;
    }
    ASSERT_EQ(Ui().Hover("New TAS"), "");
    EXPECT_EQ(Tooltip(), "Enter freeplay to create a new TAS");
    Click("Start"); // with no run loaded, a start would refuse with a toast
    Click("New TAS");
    Ui().Frame();
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_FALSE(Shows("ui popup: New Tas"));

    // The page follows the game from the very next frame, even when ticks
    // have emptied the Execute queue in between.
    World().freeplay = true;
    EXPECT_TRUE(Shows("ui: Start [disabled] | Stop [disabled] | Update [disabled] | New TAS"));
    Tick(1);
    World().freeplay = false;
    EXPECT_TRUE(
        Shows("ui: Start [disabled] | Stop [disabled] | Update [disabled] | New TAS [disabled]"));
}

// Each disabled button is clicked where its action would do something.
TEST_F(UiTest, DisabledControlsIgnoreClicksThatWouldAct) {
    Tab("Controls");
    Click("Start"); // in freeplay with no run: a start would refuse with a toast
    Ui().Frame();
    EXPECT_TRUE(host.Toasts().empty());

    CaptureRun();
    host.RunLine("tas_start");
    Tick(30);
    ASSERT_EQ(Run().State, TasState::Recording);
    World().freeplay = false;
    EXPECT_TRUE(Shows("ui: Start [disabled] | Stop [disabled] | Update [disabled] | New TAS "
                      "[disabled]"));
    Click("Stop");
    Ui().Frame();
    EXPECT_EQ(Run().State, TasState::Recording);

    host.RunLine("tas_stop");
    ASSERT_FALSE(Run().InputsApplied);
    Click("Update");
    Ui().Frame();
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_FALSE(Run().InputsApplied);
}

TEST_F(UiTest, ControlsFollowTheRunState) {
    Tab("Controls");
    EXPECT_TRUE(Shows("ui: Start [disabled] | Stop [disabled] | Update [disabled] | New TAS"));
    CaptureRun();
    Run().Data.Inputs.assign(100, Input(1.0f));
    EXPECT_TRUE(Shows("ui: Start | Stop [disabled] | Update [disabled] | New TAS"));
    ASSERT_EQ(Ui().Hover("Stop"), "");
    EXPECT_EQ(Tooltip(), "TAS is already stopped");
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Inputs already updated");

    Click("Start");
    EXPECT_TRUE(host.ExecutedCommands().empty());
    Tick(30);
    ASSERT_EQ(Run().State, TasState::Replaying);
    EXPECT_TRUE(Shows("ui: Start | Stop | Update [disabled] | New TAS"));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Stop the TAS to update inputs");

    Tick(10, Input(0.5f, VehicleInputFlag::ActivateBoost)); // take over
    ASSERT_EQ(Run().State, TasState::Recording);
    ASSERT_EQ(Ui().Hover("Gyrolog"), ""); // the tooltip goes with the mouse
    EXPECT_TRUE(Shows("ui: Start | Stop | Update [disabled] | New TAS"));
    ASSERT_EQ(Ui().Hover("Update"), "");
    EXPECT_EQ(Tooltip(), "Stop the TAS to update inputs");

    Click("Stop");
    EXPECT_EQ(Run().State, TasState::Recording); // deferred to the game thread
    Ui().Frame();
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_TRUE(Shows("ui: Start | Stop [disabled] | Update | New TAS"));
    Click("Update");
    EXPECT_TRUE(host.Toasts().empty());
    Ui().Frame();
    EXPECT_EQ(LastToast(), "New inputs applied");
    EXPECT_TRUE(Run().InputsApplied);
    EXPECT_TRUE(Shows("ui: Start | Stop [disabled] | Update [disabled] | New TAS"));
}

TEST_F(UiTest, NewTasWarnsFirstWhenANamedRunIsLoaded) {
    CaptureRun("kept");
    Tab("Controls");
    Click("New TAS");
    EXPECT_TRUE(Shows("ui popup: New Tas"));
    EXPECT_TRUE(Shows("ui popup: There is a TAS already loaded. Creating a new one will overwrite "
                      "the existing one"));
    Click("Cancel");
    EXPECT_FALSE(Shows("ui popup: New Tas"));
    EXPECT_EQ(Run().Name, "kept");

    Click("New TAS");
    Click("Create");
    EXPECT_TRUE(Shows("ui popup: TAS Name: | TAS Name"));
    Click("Create"); // empty name: ignored
    EXPECT_TRUE(Shows("ui popup: TAS Name: | TAS Name"));
    Enter("TAS Name", "a/b");
    ASSERT_EQ(Ui().Hover("Cancel"), "");
    EXPECT_EQ(Tooltip(), "Name can't contain these charaters \\/:*?\"<>|.");
    Click("Create");
    Ui().Frame();
    EXPECT_EQ(Run().Name, "kept");

    Enter("TAS Name", "fresh");
    Click("Create");
    EXPECT_EQ(Run().Name, "kept");
    Ui().Frame();
    EXPECT_EQ(Run().Name, "fresh");
    EXPECT_TRUE(Plugin().NewTasName().empty());
    EXPECT_FALSE(Shows("ui popup: TAS Name: | fresh | TAS Name"));
}

TEST_F(UiTest, EmptyNameFieldAsksForAName) {
    Tab("Controls");
    Click("New TAS");
    ASSERT_EQ(Ui().Edit("TAS Name"), ""); // leaves the mouse over the field
    EXPECT_EQ(Tooltip(), "Make sure to give your TAS a name");
    ASSERT_EQ(Ui().Hover("Cancel"), "");
    EXPECT_EQ(Tooltip(), "");
}

TEST_F(UiTest, TurningTheWarningOffMovesToTheNameStep) {
    CaptureRun("kept");
    Tab("Controls");
    Click("New TAS");
    EXPECT_TRUE(Shows("ui popup: Make sure to save it to a file if you would like to keep it."));
    host.RunLine("tas_confirmoverwriteloadedtas 0");
    EXPECT_TRUE(Shows("ui popup: TAS Name: | TAS Name"));
}

TEST_F(UiTest, ModalPopupBlocksTheTabBar) {
    host.screen = {700, 500}; // the popup, centred, stands over the page
    Tab("Controls");
    Click("New TAS");
    EXPECT_TRUE(Shows("ui: Files | Loaded TAS"));
    EXPECT_EQ(Ui().Click("Settings"),
              "\"Settings\" is drawn but covered by the window \"New Tas\"");
    Click("Files");
    Ui().Frame();
    EXPECT_TRUE(Shows("ui popup: TAS Name: | TAS Name"));
    Click("Cancel");
    Tab("Files");
    EXPECT_FALSE(Shows("ui popup: TAS Name: | TAS Name"));
}

TEST_F(UiTest, SpeedSliderDefersOneWritePerChangedFrame) {
    Tab("Controls");
    std::vector<std::string> writes;
    auto* speed = host.GetConsole().FindVariable("tas_replayspeed");
    speed->listeners.push_back({sim::HostOwner, [&](const std::string&) {
                                    writes.push_back(speed->value);
                                }});
    ASSERT_EQ(Ui().Edit("Replaying Speed"), "");
    Ui().Type("2");
    Ui().Type(".5");
    ASSERT_EQ(Ui().Key("enter"), "");
    Ui().Frame(3);
    EXPECT_EQ(writes, (std::vector<std::string>{"2", "2.5"}));
    EXPECT_TRUE(Shows("ui: 2.500 [at 49%] | Replaying Speed")); // (2.5 - 0.05) / (5 - 0.05)

    // A typed value stays within the slider's range.
    for (auto [typed, kept] : {std::pair{"9", "5"}, std::pair{"-1", "0.05"}}) {
        ASSERT_EQ(Ui().Edit("Replaying Speed"), "");
        Ui().Type(typed);
        ASSERT_EQ(Ui().Key("enter"), "");
        Ui().Frame(2);
        EXPECT_EQ(speed->value, kept) << typed;
    }
}

TEST_F(UiTest, SettingsCheckboxesWriteOnceThroughTheGameThread) {
    Tab("Settings");
    EXPECT_TRUE(Shows("ui: [ ] Start Replay On Reset"));
    EXPECT_TRUE(Shows("ui: [ ] Show Frame Counter"));
    Click("Start Recording Options");
    Click("Popup Settings");
    const auto lines = Show();
    for (auto label :
         {"ui: [ ] Throttle", "ui: [ ] Steer", "ui: [ ] Air Roll", "ui: [ ] Powerslide",
          "ui: [ ] Jump", "ui: [x] Boost", "ui: [x] Delete File Confirmation",
          "ui: [x] Overwrite Existing TAS File Confirmation",
          "ui: [x] Overwrite Loaded TAS Confirmation",
          "ui: Select which inputs that will stop replaying and begin recording",
          "ui: Start Recording Options [open]", "ui: Popup Settings [open]"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), label), lines.end()) << label;
    }
    int writes = 0;
    host.GetConsole()
        .FindVariable("tas_checkthrottle")
        ->listeners.push_back({sim::HostOwner, [&](const std::string&) {
                                   ++writes;
                               }});
    Click("Throttle");
    EXPECT_EQ(writes, 0);
    Ui().Frame();
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(Variable("tas_checkthrottle"), "1");
    EXPECT_TRUE(Shows("ui: [x] Throttle"));
    Click("Start Replay On Reset");
    Ui().Frame();
    EXPECT_EQ(Variable("tas_autoreplay"), "1");
    EXPECT_TRUE(Shows("ui: [x] Start Replay On Reset"));

    // Unchecking writes 0; the box follows the variable, not the click.
    Click("Boost");
    EXPECT_EQ(Variable("tas_checkboost"), "1");
    Ui().Frame();
    EXPECT_EQ(Variable("tas_checkboost"), "0");
    EXPECT_TRUE(Shows("ui: [ ] Boost"));
    host.RunLine("tas_confirmfiledelete 0");
    EXPECT_TRUE(Shows("ui: [ ] Delete File Confirmation"));
    Click("Show Frame Counter");
    Ui().Frame();
    EXPECT_EQ(Variable("tas_showframe"), "1");
    EXPECT_TRUE(Shows("ui: [x] Show Frame Counter"));
}

TEST_F(UiTest, ReRecordFromTheFrameInItsField) {
    Tab("Controls");
    EXPECT_TRUE(Shows("ui: Re-record From [disabled] | 0 [disabled] | - [disabled] | + "
                      "[disabled] | Re-record Frame [disabled]"));
    CaptureRun();
    Run().Data.Inputs.assign(50, Input(1.0f));
    host.RunLine("tas_seekspeed 2");
    EXPECT_TRUE(Shows("ui: 2.000 [at 39%] | Seeking Speed"));
    Enter("Re-record Frame", "20");
    Click("Re-record From");
    EXPECT_EQ(Run().State, TasState::Stopped); // deferred to the game thread
    Ui().Frame();
    host.Wait(0.2);
    ASSERT_EQ(Run().State, TasState::Replaying);
    EXPECT_EQ(host.ExecutedCommands().back(), "sv_soccar_gamespeed 2.000000");
    Tick(20, Input(0, VehicleInputFlag::ActivateBoost));
    EXPECT_EQ(Run().State, TasState::Replaying);
    Tick(1);
    EXPECT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(Run().CurrentFrame, 20u);
    EXPECT_EQ(LastLog(), "Re-recording from frame 20");

    host.RunLine("tas_stop");
    Enter("Re-record Frame", "51");
    Click("Re-record From");
    Ui().Frame();
    EXPECT_EQ(LastToast(), "Frame 51 is past the end of the TAS (50 frames)");
}

TEST_F(UiTest, MissingVariableDrawsNoWidget) {
    host.GetConsole().RemoveVariable("tas_autoreplay");
    host.GetConsole().RemoveVariable("tas_recordspeed");
    Tab("Settings");
    EXPECT_FALSE(Shows("ui: [ ] Start Replay On Reset"));
    EXPECT_TRUE(Shows("ui: Start Recording Options [closed]"));
    Tab("Controls");
    EXPECT_TRUE(Shows("ui: 1.000 [at 19%] | Replaying Speed"));
    EXPECT_FALSE(Shows("ui: 1.000 [at 19%] | Recording Speed"));
}

// Counts the pixels in a rectangle of a screenshot that pass a test.
class Picture {
public:
    explicit Picture(const std::string& file) {
        pixels_ = stbi_load(file.c_str(), &width, &height, &channels_, 4);
    }
    ~Picture() { stbi_image_free(pixels_); }
    bool Loaded() const { return pixels_ != nullptr; }
    template <typename Test> int Count(int x0, int y0, int x1, int y1, Test test) const {
        int count = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
                const unsigned char* p = pixels_ + (static_cast<size_t>(y) * width + x) * 4;
                count += test(p[0], p[1], p[2]);
            }
        }
        return count;
    }
    int width = 0;
    int height = 0;

private:
    int channels_ = 0;
    unsigned char* pixels_ = nullptr;
};

bool White(int r, int g, int b) {
    return r > 240 && g > 240 && b > 240;
}

TEST_F(UiTest, ScreenshotShowsThePageTheOverlayAndTheGame) {
    host.screen = {1280, 720};
    SaveRunFile("alpha");
    Plugin().RefreshTasFiles();
    Tick(120, Input(1.0f)); // drives up the field, leaving its trail
    const std::string shot = (data.path() / "screen.png").string();
    ASSERT_EQ(Ui().Screenshot(shot), "");
    const Picture picture(shot);
    ASSERT_TRUE(picture.Loaded());
    EXPECT_EQ(picture.width, 1280);
    EXPECT_EQ(picture.height, 720);
    EXPECT_GT(picture.Count(585, 80, 800, 160, White), 200); // "Gyrolog" and "Stopped", scale 3
    EXPECT_EQ(picture.Count(585, 20, 800, 75, White), 0);    // nothing above them

    // The page's own drawing: the red Delete button of the file's row.
    const sim::UiText* del = nullptr;
    const auto windows = Ui().Show();
    for (const auto& row : windows.front().rows) {
        for (const auto& text : row) {
            del = text.text == "Delete" ? &text : del;
        }
    }
    ASSERT_NE(del, nullptr);
    auto red = [](int r, int g, int b) {
        return r > 130 && g < 80 && b < 80;
    };
    EXPECT_GT(picture.Count(static_cast<int>(del->left) - 3, static_cast<int>(del->top),
                            static_cast<int>(del->right) + 3, static_cast<int>(del->bottom), red),
              50);
    EXPECT_EQ(picture.Count(0, 0, 1280, 720, red), picture.Count(0, 170, 600, 720, red));

    // The game behind it, right of the page: grass, the car below the centre
    // line (it starts near the blue goal), its yellow trail and the ball.
    auto grass = [](int r, int g, int b) {
        return r == 38 && g == 84 && b == 52;
    };
    auto car = [](int r, int g, int b) {
        return r == 70 && g == 150 && b == 255;
    };
    auto trail = [](int r, int g, int b) {
        return r == 250 && g == 210 && b == 60;
    };
    auto ball = [](int r, int g, int b) {
        return r == 225 && g == 225 && b == 210;
    };
    EXPECT_GT(picture.Count(600, 180, 1280, 720, grass), 100000);
    EXPECT_EQ(picture.Count(0, 0, 600, 720, grass), 0);
    EXPECT_GT(picture.Count(600, 442, 1280, 720, car), 50);
    EXPECT_EQ(picture.Count(0, 0, 1280, 442, car), 0);
    EXPECT_GT(picture.Count(600, 442, 1280, 720, trail), 30);
    EXPECT_GT(picture.Count(900, 420, 960, 460, ball), 10);
}

} // namespace

namespace {

class RecoveryUiTest : public UiTest {
protected:
    // A new run started and recorded for ticks, then the plugin unloaded.
    uint64_t RecordAndUnload(int ticks) {
        CaptureRun();
        host.RunLine("tas_checkthrottle 0; tas_start");
        Tick(24);
        Tick(ticks, Input(1.0f));
        const uint64_t pending = Run().PendingInputs.size();
        host.ClearRecords();
        host.UnloadPlugin();
        return pending;
    }
    size_t Logged(const std::string& line) {
        return std::count(host.Logs().begin(), host.Logs().end(), line);
    }
    std::vector<fs::path> RecoveryFiles() {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(RunFolder() / "recovery", error)) {
            files.push_back(entry.path().filename());
        }
        return files;
    }
};

TEST_F(RecoveryUiTest, UnsavedWorkIsKeptFoundRecoveredAndGoneOnceSaved) {
    const uint64_t pending = RecordAndUnload(150);
    ASSERT_GT(pending, 100u);
    EXPECT_EQ(LastLog(), "Unsaved run run kept for recovery");
    ASSERT_TRUE(host.LoadPlugin(exports));
    EXPECT_EQ(host.Logs().back(), "Unsaved run run found: " + std::to_string(pending) +
                                      " frames (tas_recover loads it, tas_discardrecovery "
                                      "drops it)");
    ASSERT_FALSE(host.Toasts().empty());
    EXPECT_EQ(host.Toasts().back().type, 2);
    EXPECT_TRUE(Run().Name.empty()); // found, not loaded
    Tab("Files");
    EXPECT_TRUE(
        Shows("ui: Unsaved run run: " + std::to_string(pending) + " frames | Recover | Discard"));
    Click("Recover");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Unsaved run run recovered: " + std::to_string(pending) + " frames");
    EXPECT_EQ(Run().Name, "run");
    EXPECT_FALSE(Run().InputsApplied);
    EXPECT_EQ(Run().PendingInputs.size(), pending);
    EXPECT_EQ(Run().PendingInputs[pending - 1].Throttle, 1.0f);
    EXPECT_FALSE(
        Shows("ui: Unsaved run run: " + std::to_string(pending) + " frames | Recover | Discard"));

    // Applied and saved: nothing is left to recover.
    host.RunLine("tas_update");
    Plugin().SaveTas();
    host.UnloadPlugin();
    EXPECT_EQ(LastLog().find("kept for recovery"), std::string::npos);
    EXPECT_TRUE(RecoveryFiles().empty());
    host.ClearRecords();
    ASSERT_TRUE(host.LoadPlugin(exports));
    for (const auto& line : host.Logs()) {
        EXPECT_EQ(line.find("Unsaved run"), std::string::npos) << line;
    }
    host.RunLine("tas_recover");
    EXPECT_EQ(LastLog(), "No unsaved run to recover");
}

TEST_F(RecoveryUiTest, DiscardRemovesItAndADamagedJournalIsSetAside) {
    RecordAndUnload(30);
    const auto journals = RecoveryFiles();
    ASSERT_EQ(journals.size(), 1u);
    ASSERT_TRUE(host.LoadPlugin(exports));
    Tab("Files");
    Click("Discard");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Unsaved run run discarded");
    EXPECT_TRUE(RecoveryFiles().empty());

    // Another version's journal is reported by its name and moved aside.
    host.UnloadPlugin();
    fs::create_directories(RunFolder() / "recovery");
    std::string journal = JournalHeader() + BaseRecord("old", TasData());
    journal[8] = 7;
    std::ofstream(RunFolder() / "recovery" / "old.journal", std::ios::binary) << journal;
    ASSERT_TRUE(host.LoadPlugin(exports));
    EXPECT_EQ(host.Logs().back(), "Unsaved run old.journal not recovered, it was written by "
                                  "another version: moved aside as old.journal.unreadable");
    EXPECT_EQ(RecoveryFiles(), std::vector<fs::path>{"old.journal.unreadable"});
    host.RunLine("tas_discardrecovery");
    EXPECT_EQ(LastLog(), "No unsaved run to discard");
}

// Damaged in its second block: read up to it, kept whole aside, and what it
// held goes on in a new journal. Odd entries beside it hide nothing.
TEST_F(RecoveryUiTest, ADamagedJournalIsRecoveredUpToTheDamageAndKeptWhole) {
    RecordAndUnload(250);
    const fs::path folder = RunFolder() / "recovery";
    const fs::path journal = folder / RecoveryFiles().at(0);
    std::string bytes = FileBytes(journal);
    uint64_t at = RecoveryJournalHeaderBytes;
    for (int record = 0; record < 3; ++record) { // base, take-over, first block
        uint64_t payload = 0;
        std::memcpy(&payload, bytes.data() + at + 4, sizeof payload);
        at += 20 + payload;
    }
    bytes[at + 100] ^= 1;
    std::ofstream(journal, std::ios::binary) << bytes;
    std::ofstream(folder / "bad.journal") << "garbage";
    fs::create_directory(folder / "bad.journal.unreadable");
    fs::create_symlink("nowhere", folder / "link.journal");
#if !defined(_WIN32)
    ASSERT_EQ(mkfifo((folder / "fifo.journal").c_str(), 0600), 0);
#endif
    for (int i = 0; i < 6; ++i) {
        const fs::path aside = folder / ("old" + std::to_string(i) + ".journal.unreadable");
        std::ofstream(aside) << "x";
        fs::last_write_time(aside, fs::file_time_type::clock::now() - std::chrono::hours(9 - i));
    }
    ASSERT_TRUE(host.LoadPlugin(exports));
    EXPECT_EQ(Logged("Unsaved run run found: 120 frames, damaged after them (tas_recover loads "
                     "them, tas_discardrecovery drops it)"),
              1u);
    EXPECT_EQ(Logged("Recovery folder entry link.journal left alone: it is a link"), 1u);
#if !defined(_WIN32)
    EXPECT_EQ(Logged("Recovery folder entry fifo.journal left alone: it is not a regular file"),
              1u);
#endif
    EXPECT_EQ(std::count_if(host.Logs().begin(), host.Logs().end(),
                            [](auto& line) {
                                return line.starts_with("Unsaved run bad.journal not recovered: ");
                            }),
              1);
    EXPECT_EQ(Logged("Removed the oldest journal set aside, old0.journal.unreadable"), 1u);
    EXPECT_FALSE(fs::exists(folder / "old0.journal.unreadable"));
    EXPECT_TRUE(fs::exists(folder / "old1.journal.unreadable"));
    host.RunLine("tas_recover");
    const std::string aside = journal.filename().string() + ".damaged";
    EXPECT_EQ(LastLog(),
              "Unsaved run run recovered: 120 frames; its damaged journal is kept as " + aside);
    EXPECT_EQ(FileBytes(folder / aside), bytes);
    EXPECT_EQ(Run().PendingInputs.size(), 120u);
    host.UnloadPlugin();
    ASSERT_TRUE(host.LoadPlugin(exports));
    EXPECT_EQ(Logged("Unsaved run run found: 120 frames (tas_recover loads it, "
                     "tas_discardrecovery drops it)"),
              1u);
}

// The writer still busy with one take-over's journal when the next one's run
// file goes or is changed from outside: that journal is whole all the same.
TEST_F(RecoveryUiTest, ARunFileGoneOrChangedRightAfterATakeOverBeganLeavesItsJournalWhole) {
    for (const bool outside : {false, true}) {
        fs::remove_all(RunFolder());
        for (const char* name : {"a", "b"}) {
            CaptureRun(name);
            Run().Data.Inputs.assign(300000, Input(0.5f));
            Plugin().SaveTas();
        }
        Plugin().RefreshTasFiles();
        for (const char* name : {"a", "b"}) {
            Plugin().LoadTas(Plugin().FileIndex(name));
            host.RunLine("tas_start");
            host.Wait(0.2);
            Tick(2);
            Tick(1, Input(0.25f, VehicleInputFlag::ActivateBoost));
            host.RunLine("tas_stop");
        }
        host.ClearRecords();
        if (outside) {
            std::ofstream file(RunFolder() / "b.data", std::ios::binary);
            WriteTas(file, TasData());
        } else {
            Plugin().DeleteTas(Plugin().FileIndex("b"));
        }
        host.UnloadPlugin();
        EXPECT_EQ(Logged("Unsaved run b kept for recovery"), 1u) << outside;
        ASSERT_TRUE(host.LoadPlugin(exports));
        EXPECT_EQ(Logged("Unsaved run b found: 3 frames (tas_recover loads it, "
                         "tas_discardrecovery drops it)"),
                  1u)
            << outside;
    }
}

// A journal that cannot be written is said while the run is recorded, once,
// and the run is not said to be kept.
TEST_F(RecoveryUiTest, AJournalThatCannotBeWrittenIsSaidAtOnce) {
    const fs::path folder = RunFolder() / "recovery";
#if !defined(_WIN32)
    struct Unmount {
        fs::path path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{folder};
#endif
    for (const bool full : {false, true}) {
        fs::remove_all(folder);
        if (!full) {
            std::ofstream(folder) << "a file";
        } else {
#if defined(_WIN32)
            GTEST_SKIP() << "no small disk to fill here";
#else
            fs::create_directory(folder);
            if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=4k") != 0) {
                GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
            }
#endif
        }
        host.ClearRecords();
        CaptureRun();
        host.RunLine("tas_checkthrottle 0; tas_start");
        Tick(24);
        for (int i = 0; i < 150 && host.Toasts().empty(); ++i) {
            Tick(1, Input(1.0f));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto said = std::find_if(host.Logs().begin(), host.Logs().end(), [](auto& line) {
            return line.starts_with("Unsaved work of run can't be kept for recovery: ");
        });
        ASSERT_NE(said, host.Logs().end()) << full;
        const std::string line = *said;
        ASSERT_FALSE(host.Toasts().empty());
        EXPECT_EQ(host.Toasts().back().type, 3);
        Tick(120, Input(1.0f));
        host.UnloadPlugin();
        EXPECT_EQ(Logged(line), 1u);
        EXPECT_EQ(Logged("Unsaved run run kept for recovery"), 0u) << full;
        ASSERT_TRUE(host.LoadPlugin(exports));
    }
}

} // namespace

TEST_F(UiTest, InputsRowsShowEveryControlOfEachFrame) {
    KnownRun();
    OpenInputs();
    EXPECT_EQ(Table(), (std::vector<std::string>{
                           InputsHeader,
                           "ui: 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0",
                           "ui: 1 | 1 | -0.5 | 0.25 | 0.1 | -1 | 0.5 | -0.75 | 0 | 1 | 0 | 1 | 0 | "
                           "0x200",
                           "ui: T | 2 | 0.75 | 0 | 0 | 0 | 0 | 0 | 0 | 1 | 0 | 0 | 0 | 0 | 0x0",
                           "ui: 3 | -1 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 1 | 0 | 1 | 0x80000000",
                       }));
    EXPECT_TRUE(Shows("ui: Selected: none"));
    EXPECT_TRUE(Shows("ui: frames 0 to 3 | throttle | steer | pitch | yaw | roll"));
    EXPECT_TRUE(Shows("ui: [x] Follow | 0 | Go to frame | Go | [ ] State | [ ] Speeds | < Marker "
                      "[disabled] | Marker > [disabled]"));
}

// Recorded after a take-over and not applied yet: the new frames follow the
// frames played before it, the run's frames they replace after them.
TEST_F(UiTest, InputsPendingRowsFollowTheTakeOverFrame) {
    LongRun(6);
    Run().Data.TeleportFrames = {4};
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(2);
    Tick(1, Input(0.25f, VehicleInputFlag::ActivateBoost)); // takes over at frame 2
    Tick(1, Input(-0.25f));
    host.Teleport(Vector{0.0f, 0.0f, 17.0f});
    host.RunLine("tas_stop");
    ASSERT_EQ(Run().CurrentFrame, 2u);
    ASSERT_EQ(Run().PendingInputs.size(), 2u);
    ASSERT_EQ(Run().PendingTeleportFrames, std::vector<uint64_t>{4});
    OpenInputs();
    EXPECT_TRUE(Shows("ui: + new, not applied | - replaced by Update"));
    EXPECT_EQ(Table(), (std::vector<std::string>{
                           InputsHeader,
                           HalfRow(0),
                           HalfRow(1),
                           "ui: + | 2 | 0.25 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 1 | 0 | 0 | 0x0",
                           "ui: + | 3 | -0.25 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0",
                           HalfRow(2, "-"),
                           HalfRow(3, "-"),
                           HalfRow(4, "T-"),
                           HalfRow(5, "-"),
                       }));
    // They are not the run's frames yet: a click picks none of them.
    Click("+");
    EXPECT_TRUE(Shows("ui: Selected: none"));

    host.RunLine("tas_update");
    EXPECT_EQ(Table(), (std::vector<std::string>{
                           InputsHeader,
                           HalfRow(0),
                           HalfRow(1),
                           "ui: 2 | 0.25 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 1 | 0 | 0 | 0x0",
                           "ui: 3 | -0.25 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0",
                       }));
    EXPECT_FALSE(Shows("ui: + new, not applied | - replaced by Update"));
}

TEST_F(UiTest, InputsClickSelectsAFrameAndShiftClickARange) {
    LongRun(20);
    OpenInputs();
    Click("12");
    EXPECT_TRUE(Shows("ui: Selected: frame 12"));
    EXPECT_TRUE(Shows(HalfRow(12, "", " [selected]")));
    EXPECT_TRUE(Shows(HalfRow(13)));
    Ui().HoldShift(true);
    Click("15");
    EXPECT_TRUE(Shows("ui: Selected: frames 12 to 15 (4)"));
    Click("9"); // from the frame clicked without Shift
    Ui().HoldShift(false);
    EXPECT_TRUE(Shows("ui: Selected: frames 9 to 12 (4)"));
    const auto table = Table();
    EXPECT_EQ(std::count_if(table.begin(), table.end(),
                            [](auto& line) { return line.find("[selected]") != line.npos; }),
              4);
    EXPECT_TRUE(Shows(HalfRow(8)));
    EXPECT_TRUE(Shows(HalfRow(13)));
    EXPECT_EQ(Plugin().InputsTab().Selected.First, 9u);
    EXPECT_EQ(Plugin().InputsTab().Selected.Last, 12u);
    Click("17");
    EXPECT_TRUE(Shows("ui: Selected: frame 17"));
    EXPECT_TRUE(Shows(HalfRow(12)));
}

TEST_F(UiTest, InputsCellsAreFoundByFrameAndColumn) {
    LongRun(40);
    OpenInputs();
    ASSERT_EQ(Ui().ClickCell("5", "steer"), "");
    EXPECT_TRUE(Shows("ui: Selected: frame 5"));
    ASSERT_EQ(Ui().Paint("3", "7", "jump"), "");
    EXPECT_TRUE(Shows("ui: Selected: frame 3")); // picked as pressed
    Ui().HoldShift(true);
    ASSERT_EQ(Ui().ClickCell("7", "other_flags"), "");
    Ui().HoldShift(false);
    EXPECT_TRUE(Shows("ui: Selected: frames 3 to 7 (5)"));
    EXPECT_EQ(Ui().ClickCell("5", "brake"), "no column brake in the Inputs table");
    EXPECT_EQ(Ui().Paint("3", "39", "steer"), "frame 39 is not shown in the Inputs table");
    ASSERT_EQ(Ui().Scroll("Gyrolog/Inputs", 10.0f), "");
    EXPECT_EQ(Ui().ClickCell("0", "steer"), "frame 0 is not shown in the Inputs table");
}

TEST_F(UiTest, InputsEditBarEditsTheSelectionOneStepEach) {
    LongRun(20);
    OpenInputs();
    EXPECT_TRUE(ShowsStart("ui: throttle | Control | 0.00000 | Value | Set [disabled] | 1 | "
                           "Insert copies [disabled]"));
    ASSERT_EQ(Ui().Hover("Set"), "");
    EXPECT_EQ(Tooltip(), "Select a frame first");
    Click("12");
    Ui().HoldShift(true);
    Click("14");
    Ui().HoldShift(false);
    Enter("Control", "stear");
    ASSERT_EQ(Ui().Hover("Set"), "");
    EXPECT_EQ(Tooltip(), "Not a control: type one of " + ControlNames());
    Enter("Control", "steer");
    Enter("Value", "0.5");
    Click("Set");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Set steer to 0.5 on frames 12 to 14");
    EXPECT_EQ(Run().Data.Inputs[11].Steer, 0.0f);
    EXPECT_EQ(Run().Data.Inputs[14].Steer, 0.5f);

    Click("Copy");
    EXPECT_TRUE(ShowsStart("ui: steer | Control | 0.50000 | Value | Set | 1 | Insert copies | "
                           "Insert neutral | Delete | Copy | Paste over | Paste inserted | "
                           "Copied: 3"));
    Click("Delete");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Deleted frames 12 to 14");
    ASSERT_EQ(Run().Data.Inputs.size(), 17u);
    Click("2");
    Click("Paste inserted");
    Ui().Frame();
    ASSERT_EQ(Run().Data.Inputs.size(), 20u);
    EXPECT_EQ(Run().Data.Inputs[2].Steer, 0.5f);
    EXPECT_EQ(Run().Data.Inputs[5].Steer, 0.0f);
    Enter("Control", "jump");
    Click("Toggle");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs[2].Flags, VehicleInputFlag::Jump);
    Click("Insert neutral");
    Ui().Frame();
    ASSERT_EQ(Run().Data.Inputs.size(), 21u);
    EXPECT_EQ(Run().Data.Inputs[2].Throttle, 0.0f);

    // Each edit is a step: undone back to the run as it was.
    for (int undo = 0; undo < 5; ++undo) {
        host.RunLine("tas_undo");
    }
    ASSERT_EQ(Run().Data.Inputs.size(), 20u);
    EXPECT_EQ(Run().Data.Inputs[14].Steer, 0.0f);
    EXPECT_EQ(LastLog(), "Undone: set steer to 0.5 on frames 12 to 14");

    // From the selected frame: a replay, and a re-record, which dims the
    // edits and itself while it plays.
    Click("Play from here");
    Ui().Frame();
    EXPECT_EQ(Run().PlayFrom, std::optional<uint64_t>(2));
    host.RunLine("tas_stop");
    Click("Re-record from here");
    Ui().Frame();
    host.Wait(0.2);
    EXPECT_EQ(Run().RerecordFrame, std::optional<uint64_t>(2));
    EXPECT_TRUE(ShowsStart("ui: jump | Control | 0.50000 | Value | Set [disabled] | Toggle "
                           "[disabled] | 1 | Insert copies [disabled] | Insert neutral [disabled] "
                           "| Delete [disabled]"));
    ASSERT_EQ(Ui().Hover("Delete"), "");
    EXPECT_EQ(Tooltip(), "Stop the TAS before editing");
    ASSERT_EQ(Ui().Hover("Play from here"), "");
    EXPECT_EQ(Tooltip(), "Stop the TAS first");
}

TEST_F(UiTest, InputsGoToFrameScrollsThereAndSelectsIt) {
    LongRun(5000);
    OpenInputs();
    Enter("Go to frame", "0"); // the number the field holds already
    EXPECT_TRUE(Shows("ui: Selected: frame 0"));
    EXPECT_FALSE(Shows(HalfRow(4321, "", " [selected]")));
    Enter("Go to frame", "4321");
    EXPECT_TRUE(Shows(HalfRow(4321, "", " [selected]")));
    EXPECT_TRUE(Shows(HalfRow(4320)));
    EXPECT_TRUE(Shows("ui: Selected: frame 4321"));
    EXPECT_TRUE(Shows("ui: frames 4171 to 4470 | throttle | steer | pitch | yaw | roll"));
    EXPECT_FALSE(Shows(HalfRow(0)));
    // The graph stays with the selection while the table scrolls away.
    ASSERT_EQ(Ui().Scroll("Gyrolog/Inputs", -100), "");
    EXPECT_FALSE(Shows(HalfRow(4321, "", " [selected]")));
    EXPECT_TRUE(Shows(HalfRow(4240)));
    EXPECT_TRUE(Shows("ui: frames 4171 to 4470 | throttle | steer | pitch | yaw | roll"));
    Enter("Go to frame", "4321");
    EXPECT_TRUE(Shows(HalfRow(4321, "", " [selected]")));
    Enter("Go to frame", "99999"); // past the end: the last frame
    EXPECT_TRUE(Shows(HalfRow(4999, "", " [selected]")));
    EXPECT_TRUE(ShowsStart("ui: [x] Follow | 4999 | Go to frame"));
}

TEST_F(UiTest, InputsFollowKeepsTheReplayedFrameInView) {
    LongRun(3000);
    OpenInputs();
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(1000);
    ASSERT_EQ(Run().State, TasState::Replaying);
    ASSERT_EQ(Run().LiveFrame, 1000u);
    Ui().Frame();
    EXPECT_TRUE(Shows(HalfRow(1000, ">")));
    EXPECT_TRUE(Shows("ui: frames 850 to 1149 | throttle | steer | pitch | yaw | roll"));
    // At 20 ticks a drawn frame the row played is in view on every frame.
    for (uint64_t frame = 1020; frame <= 2500; frame += 20) {
        Tick(20);
        ASSERT_TRUE(Shows(HalfRow(frame, ">"))) << frame;
    }
    EXPECT_FALSE(Shows(HalfRow(1000)));

    Click("Follow");
    EXPECT_TRUE(ShowsStart("ui: [ ] Follow | 0 | Go to frame"));
    Tick(100);
    Ui().Frame();
    EXPECT_FALSE(Shows(HalfRow(2600, ">")));
    EXPECT_TRUE(Shows(HalfRow(2500)));
}

// While recording the table shows the frames kept and the new ones as they
// come, Follow on the newest; stopped, the State columns read the trace
// and the keyframes, and the frame where a replay drifted is marked.
TEST_F(UiTest, InputsShowARecordingLiveTheCarsStateAndTheDrift) {
    CaptureRun("drive");
    OpenInputs();
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(30, Input(1.0f));
    ASSERT_EQ(Run().State, TasState::Recording);
    const std::string zeros = " | 0 | 0 | 0 | 0 | 0 | 0 | 0 | ";
    auto table = Table();
    EXPECT_EQ(table[table.size() - 2], "ui: + | 28 | 1" + zeros + "0 | 0 | 0 | 0 | 0x0");
    EXPECT_EQ(table.back(), "ui: >+ | 29 | 1" + zeros + "0 | 0 | 0 | 0 | 0x0");
    Tick(300, Input(1.0f, VehicleInputFlag::Jump));
    EXPECT_EQ(Table().back(), "ui: >+ | 329 | 1" + zeros + "1 | 0 | 0 | 0 | 0x0");
    EXPECT_TRUE(Shows("ui: new frames 30 to 329 | throttle | steer | pitch | yaw | roll"));

    host.RunLine("tas_stopandupdate");
    host.RunLine("tas_start");
    host.Wait(0.2);
    Tick(100);
    host.Nudge({0.0f, 50.0f, 0.0f});
    Tick(20);
    host.RunLine("tas_stop");
    Click("State");
    Enter("Go to frame", "100");
    EXPECT_TRUE(
        Shows(std::string(InputsHeader) + " | speed | height | boost | to ball | ball speed"));
    // Frame 100 is no keyframe: its boost is blank.
    EXPECT_TRUE(Shows("ui: D [selected] | 100 | 1" + zeros +
                      "1 | 0 | 0 | 0 | 0x0 | 422 | 75 | "
                      "4315 | 2"));
    Enter("Go to frame", "0");
    EXPECT_TRUE(Shows("ui: 0 [selected] | 1" + zeros +
                      "0 | 0 | 0 | 0 | 0x0 | 0 | 17 | 33 | "
                      "4609 | 0"));
}

// A click on a flag's cell toggles that flag of that frame alone; a paint
// along a column is one edit; Ctrl+click types a value.
TEST_F(UiTest, InputsCellsToggleAndPaintOneStepEach) {
    LongRun(40);
    OpenInputs();
    ASSERT_EQ(Ui().ClickCell("5", "jump"), "");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Set jump to 1 on frame 5");
    for (uint64_t frame = 0; frame < 40; ++frame) {
        ASSERT_EQ(Run().Data.Inputs[frame].Flags, frame == 5 ? VehicleInputFlag::Jump : 0u)
            << frame;
    }
    EXPECT_TRUE(Shows("ui: 5 [selected] | 0.5 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 1 | 0 | 0 | 0 | 0x0"));
    host.RunLine("tas_undo");
    EXPECT_EQ(Run().Data.Inputs[5].Flags, 0u);

    ASSERT_EQ(Ui().Paint("10", "21", "jump"), "");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Set jump to 1 on frames 10 to 21");
    EXPECT_EQ(std::count_if(Run().Data.Inputs.begin(), Run().Data.Inputs.end(),
                            [](const VehicleInput& input) { return input.Flags != 0; }),
              12);
    host.RunLine("tas_undo");
    EXPECT_EQ(LastLog(), "Undone: set jump to 1 on frames 10 to 21");
    EXPECT_EQ(Run().Data.Inputs[15].Flags, 0u);

    Ui().HoldCtrl(true);
    ASSERT_EQ(Ui().ClickCell("3", "steer"), "");
    Ui().HoldCtrl(false);
    Ui().Type("-0.25");
    ASSERT_EQ(Ui().Key("enter"), "");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs[3].Steer, -0.25f);
    ASSERT_EQ(Ui().Paint("3", "6", "steer"), ""); // the pressed cell's value
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Set steer to -0.25 on frames 3 to 6");
    EXPECT_EQ(Run().Data.Inputs[6].Steer, -0.25f);
    EXPECT_EQ(Run().Data.Inputs[7].Steer, 0.0f);

    // Playing, the cells are read only.
    host.RunLine("tas_start");
    host.Wait(0.2);
    ASSERT_EQ(Ui().ClickCell("3", "jump"), "");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs[3].Flags, 0u);
}

// The keys do what the buttons do, to the same frames.
TEST_F(UiTest, InputsKeysEditAsTheButtonsDo) {
    LongRun(20);
    for (size_t frame = 0; frame < 20; ++frame) {
        Run().Data.Inputs[frame].Steer = static_cast<float>(frame) / 20.0f;
    }
    OpenInputs();
    Click("12");
    Ui().HoldShift(true);
    ASSERT_EQ(Ui().Key("down"), "");
    ASSERT_EQ(Ui().Key("down"), "");
    Ui().HoldShift(false);
    EXPECT_TRUE(Shows("ui: Selected: frames 12 to 14 (3)"));
    Ui().HoldCtrl(true);
    ASSERT_EQ(Ui().Key("c"), "");
    Ui().HoldCtrl(false);
    const auto copied = Plugin().InputsTab().Clipboard;
    Click("Copy");
    EXPECT_EQ(Plugin().InputsTab().Clipboard.size(), 3u);
    EXPECT_EQ(
        std::memcmp(copied.data(), Plugin().InputsTab().Clipboard.data(), 3 * sizeof(VehicleInput)),
        0);
    Click("2");
    ASSERT_EQ(Ui().Key("pagedown"), "");
    EXPECT_TRUE(ShowsStart("ui: Selected: frame "));
    Click("2");
    Ui().HoldCtrl(true);
    ASSERT_EQ(Ui().Key("v"), "");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs[2].Steer, 0.6f);
    EXPECT_EQ(Run().Data.Inputs[4].Steer, 0.7f);
    Ui().HoldShift(true);
    ASSERT_EQ(Ui().Key("v"), "");
    Ui().HoldShift(false);
    Ui().HoldCtrl(false);
    Ui().Frame();
    ASSERT_EQ(Run().Data.Inputs.size(), 23u);
    EXPECT_EQ(Run().Data.Inputs[4].Steer, 0.7f);
    EXPECT_EQ(Run().Data.Inputs[5].Steer, 0.6f);
    ASSERT_EQ(Ui().Key("delete"), "");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs.size(), 22u);
    ASSERT_EQ(Ui().Key("insert"), "");
    Ui().Frame();
    ASSERT_EQ(Run().Data.Inputs.size(), 23u);
    EXPECT_EQ(Run().Data.Inputs[2].Throttle, 0.0f);
    Ui().HoldCtrl(true);
    ASSERT_EQ(Ui().Key("z"), "");
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs.size(), 22u);
    ASSERT_EQ(Ui().Key("y"), "");
    Ui().HoldCtrl(false);
    Ui().Frame();
    EXPECT_EQ(Run().Data.Inputs.size(), 23u);
}

TEST_F(UiTest, InputsMarkersArePinnedShownAndJumpedTo) {
    LongRun(3000);
    OpenInputs();
    Click("5");
    Enter("Marker", "flip");
    Click("Mark");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Marker at frame 5: flip");
    const std::string half = " | 0.5 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0 | ";
    EXPECT_TRUE(Shows("ui: M [selected] | 5" + half + "flip"));
    host.RunLine("tas_marker 2000 boost pad");
    Click("Marker >");
    EXPECT_TRUE(Shows("ui: Selected: frame 2000"));
    EXPECT_TRUE(Shows("ui: M [selected] | 2000" + half + "boost pad"));
    EXPECT_TRUE(Shows("ui: boost pad")); // in the graph
    Click("< Marker");
    EXPECT_TRUE(Shows("ui: Selected: frame 5"));
    Click("Unmark");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Removed the marker at frame 5");
    EXPECT_TRUE(Shows(HalfRow(5, "", " [selected]")));
    host.RunLine("tas_undo");
    EXPECT_TRUE(Shows("ui: M [selected] | 5" + half + "flip"));
}

// Branches kept from the console and from the page are listed as they are
// kept, one is deleted once confirmed, the compared one's other frames are
// marked B in the Inputs table, and one loaded from the page is the run's.
TEST_F(UiTest, BranchesAreKeptListedDeletedAndComparedFromThePage) {
    LongRun(300);
    const auto kept = [&](const std::string& said) {
        for (int i = 0; i < 4000 && LastLog() != said; ++i) {
            host.Wait(1.0 / 120); // the branch is written off the game thread
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        EXPECT_EQ(LastLog(), said);
    };
    Tab("Loaded TAS");
    Click("Branches");
    EXPECT_TRUE(Shows("ui: No branches of this run yet"));
    host.RunLine("tas_branch b1");
    EXPECT_TRUE(Shows("ui: Keeping branch b1..."));
    kept("Branch b1 of long kept: 300 frames");
    const std::string buttons = " | Load | Compare | Delete";
    EXPECT_TRUE(Shows("ui: b1: 300 frames, same as the loaded run" + buttons));
    host.RunLine("tas_setinput 120 129 throttle 1");
    EXPECT_TRUE(Shows("ui: b1: 300 frames, differs at frame 120" + buttons));
    Enter("Branch name", "b2");
    Click("Keep as branch");
    kept("Branch b2 of long kept: 300 frames");
    Click("Delete", 1);
    EXPECT_TRUE(Shows("ui popup: Branch: b2"));
    Click("Delete"); // the popup's, which is in front
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Branch b2 of long deleted");
    EXPECT_FALSE(ShowsStart("ui: b2:"));

    Click("Compare");
    EXPECT_TRUE(Shows("ui: b1: 300 frames, differs at frame 120 | Load | Uncompare | Delete"));
    OpenInputs();
    Enter("Go to frame", "119");
    const std::string one = " | 1 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0x0";
    EXPECT_TRUE(Shows(HalfRow(119, "", " [selected]")));
    EXPECT_TRUE(Shows("ui: B | 129" + one));
    EXPECT_TRUE(Shows("ui: frames 0 to 299 | throttle | steer | pitch | yaw | roll | faint: the "
                      "compared branch"));
    ASSERT_EQ(Ui().Hover("?"), "");
    EXPECT_TRUE(Tooltip().find("B not as in the compared branch") != std::string::npos);
    Tab("Loaded TAS");
    Click("Uncompare");
    Ui().Frame();
    Tab("Inputs");
    EXPECT_TRUE(Shows("ui: 129" + one));
    Tab("Loaded TAS");
    Click("Load");
    Ui().Frame();
    EXPECT_EQ(LastLog(), "Branch b1 loaded into long: 300 frames");
    EXPECT_TRUE(Shows("ui: b1: 300 frames, same as the loaded run" + buttons));
}

TEST(InputsViewTest, RowsPutPendingFramesAfterTheTakeOverFrame) {
    const inputs::RowLayout layout(10, 4, 3);
    EXPECT_EQ(layout.Rows(), 13u);
    const auto row = [&](uint64_t r) {
        const inputs::Row at = layout.At(r);
        return std::to_string(static_cast<int>(at.Kind)) + ":" + std::to_string(at.Frame) + ":" +
               std::to_string(at.Index);
    };
    EXPECT_EQ(row(3), "0:3:3");
    EXPECT_EQ(row(4), "1:4:0");
    EXPECT_EQ(row(6), "1:6:2");
    EXPECT_EQ(row(7), "2:4:4");
    EXPECT_EQ(row(12), "2:9:9");
    EXPECT_EQ(layout.RowOfRunFrame(3), 3u);
    EXPECT_EQ(layout.RowOfRunFrame(4), 7u);
    EXPECT_EQ(inputs::RowLayout(10, 0, 0).At(7).Kind, inputs::RowKind::Run);
    EXPECT_EQ(inputs::RowLayout(3, 8, 2).TakeOver, 3u);
}

TEST(InputsViewTest, GraphWindowStaysWithinTheRows) {
    const auto window = [](uint64_t center, uint64_t rows) {
        const auto w = inputs::WindowAround(center, rows, 300);
        return w.Empty() ? std::string("none")
                         : std::to_string(w.First) + "-" + std::to_string(w.Last);
    };
    EXPECT_EQ(window(1000, 5000), "850-1149");
    EXPECT_EQ(window(10, 5000), "0-299");
    EXPECT_EQ(window(4990, 5000), "4700-4999");
    EXPECT_EQ(window(9999, 5000), "4700-4999");
    EXPECT_EQ(window(2, 4), "0-3");
    EXPECT_EQ(window(0, 0), "none");
    // The label names the frames drawn, pending ones after the take-over.
    const inputs::RowLayout pending(6, 2, 2);
    EXPECT_EQ(inputs::DescribeWindow(pending, {0, 7}),
              "frames 0 to 1, new 2 to 3, replaced 2 to 5");
    EXPECT_EQ(inputs::DescribeWindow(pending, {3, 4}), "new frames 3 to 3, replaced 2 to 2");
    EXPECT_EQ(inputs::DescribeWindow(inputs::RowLayout::Live(2, 3), {1, 4}),
              "frames 1 to 1, new 2 to 4");
    EXPECT_EQ(inputs::DescribeWindow(inputs::RowLayout(6, 0, 0), {0, 5}), "frames 0 to 5");
}

TEST(InputsViewTest, SelectionFitsARunThatShrank) {
    inputs::Selection selection;
    selection.Select(5, false);
    selection.Select(9, true);
    selection.Fit(8);
    EXPECT_EQ(selection.Describe(), "Selected: frames 5 to 7 (3)");
    selection.Fit(5);
    EXPECT_EQ(selection.Describe(), "Selected: none");
    selection.Select(4, true); // no anchor left: a frame alone
    EXPECT_EQ(selection.Describe(), "Selected: frame 4");
}
