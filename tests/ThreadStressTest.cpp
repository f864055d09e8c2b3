// The page drawn freely on the render thread, every tab and its popups,
// while the game thread records, replays, takes over, saves, loads (also
// files that fail to load), refreshes, deletes and creates runs. Built with
// ThreadSanitizer, it finds what the two threads share unsafely; in any build
// it finds game functions called from the render thread and failures that
// escape a callback.
#include "PluginHarness.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

// GYROLOG_STRESS_SECONDS bounds the run; two seconds by default.
std::chrono::duration<double> StressTime() {
    const char* text = std::getenv("GYROLOG_STRESS_SECONDS");
    const double seconds = text ? std::atof(text) : 2.0;
    return std::chrono::duration<double>(seconds > 0 ? seconds : 2.0);
}

bool Shown(sim::Ui& ui, const std::string& text) {
    for (const auto& window : ui.Show()) {
        for (const auto& row : window.rows) {
            for (const auto& shown : row) {
                if (shown.text == text) {
                    return true;
                }
            }
        }
    }
    return false;
}

// What a restless player does on each tab, in a loop. A click on something
// not shown at that moment (the list changed, a popup is gone) does nothing.
void UseEveryTab(sim::Ui& ui, int pass) {
    ui.Click("Cancel"); // a popup left open would hold the tab bar

    ui.Click("Files");
    ui.Click(pass % 2 ? "Recover" : "Refresh List"); // shown when a journal was found
    ui.Click("Load", pass % 2);
    if (pass % 5 == 4) {
        ui.Click("Delete");
        ui.Click("Delete"); // the popup's, when the confirmation is on
    }
    ui.Frame(2);

    ui.Click("Loaded TAS");
    if (!Shown(ui, "Location")) {
        ui.Click("Car Starting State");
    }
    if (!Shown(ui, "X")) {
        ui.Click("Location");
    }
    ui.Click("+");
    if (!Shown(ui, "Rotation")) {
        ui.Click("Ball Starting State");
    }
    ui.Click("-", 1);
    if (pass % 3 == 0) {
        ui.Click("Change Name");
        ui.Edit("TAS Name");
        ui.Type("page" + std::to_string(pass % 4));
        ui.Click("Update");
    }
    ui.Click(pass % 2 ? "Undo" : "Redo");
    ui.Click("Save TAS");
    ui.Click("Overwrite");
    if (!Shown(ui, "Keep as branch")) {
        ui.Click("Branches");
    }
    ui.Click(pass % 2 ? "Compare" : "Uncompare"); // drawn in the Inputs tab below
    if (pass % 4 == 0) {
        ui.Edit("Branch name");
        ui.Type("page");
        ui.Click("Keep as branch");
    }
    ui.Frame(2);

    ui.Click("Inputs"); // shown while a run is loaded
    ui.Click(pass % 2 ? "State" : "Speeds"); // the trace read while a replay grows it
    ui.Click(pass % 2 ? "3" : "12");
    ui.HoldShift(true);
    ui.Click("0", pass % 3);
    ui.HoldShift(false);
    for (const char* edit : {"Insert neutral", "Toggle", "Copy", "Paste inserted", "Delete"}) {
        ui.Click(edit);
    }
    ui.Edit("Go to frame");
    ui.Type(std::to_string(pass % 40));
    ui.Key("enter");
    if (pass % 3 == 0) {
        ui.Click("Follow");
    }
    ui.Scroll("Gyrolog/Inputs", pass % 2 ? 20.0f : -20.0f);
    ui.Frame(2);

    ui.Click("Controls");
    ui.Click("Start");
    ui.Click(pass % 2 ? "Stop" : "Update");
    if (pass % 3 == 2) {
        ui.Click("Re-record From");
        ui.Click("Stop");
    }
    if (pass % 4 == 1) {
        ui.Click("New TAS");
        ui.Click("Create"); // the warning step's, when it shows
        ui.Edit("TAS Name");
        ui.Type("made" + std::to_string(pass % 3));
        ui.Click("Create");
    }
    ui.Frame(2);

    ui.Click("Settings");
    if (!Shown(ui, "Steer")) {
        ui.Click("Start Recording Options");
    }
    if (!Shown(ui, "Delete File Confirmation")) {
        ui.Click("Popup Settings");
    }
    ui.Click("Delete File Confirmation");
    ui.Frame(2);
}

class ThreadStressTest : public PluginTest {
protected:
    // One round of the game thread's own work; the frame's game side (the
    // Execute queue and the canvas) runs between the steps, as the game's
    // frames do.
    void PlayRound(int round) {
        const std::string name = "run" + std::to_string(round % 3);
        Frame();
        Plugin().CreateNewTas(name);
        Frame();
        host.RunLine("tas_start");
        host.Wait(0.25); // placed, replaying: the empty run takes over at once
        Tick(20, Input(1.0f));
        Frame();
        host.RunLine("tas_stopandupdate");
        Plugin().SaveTas();
        Plugin().RefreshTasFiles();
        Frame();
        host.RunLine("tas_start");
        host.Wait(0.25);
        Tick(10);
        Tick(5, Input(0.0f, VehicleInputFlag::ActivateBoost)); // take over
        host.Teleport(Vector{0, 0, 17});
        Tick(5);
        Frame();
        host.RunLine("tas_stop");
        Frame(); // the Inputs tab shows the pending frames meanwhile
        host.RunLine("tas_update");
        // Undos, redos, edits and branches change the frames and starts the page
        // draws; a branch is copied on the game's frames while they go on.
        for (const char* line :
             {"tas_undo", "tas_redo", "tas_branch b", "tas_insertframes 0 5",
              "tas_setinput 0 2 steer 0.5", "tas_comparebranch b", "tas_deleteframes 1 3",
              "tas_undo", "tas_loadbranch b", "tas_branch c"}) {
            host.RunLine(line);
            Frame();
        }
        if (round % 4 == 2) {
            // A file of another version: the failed load keeps the run the page draws.
            WriteFile(RunFolder() / "broken.data", std::string("\x02\x00\x00\x00", 4));
            Plugin().RefreshTasFiles();
            Plugin().LoadTas(Plugin().FileIndex("broken"));
        }
        Plugin().LoadTas(round % 2);
        Frame();
        host.RunLine("tas_undo"); // the run the load replaced comes back under the page
        Frame();
        host.RunLine("tas_redo");
        Frame();
        if (round % 4 == 3) {
            Plugin().DeleteTas(0);
        }
        if (round % 4 == 1) {
            OfferALeftJournal(round);
        }
        host.RunLine(round % 2 ? "tas_confirmoverwritefile 0" : "tas_confirmoverwritefile 1");
        host.RunLine(round % 3 ? "tas_confirmoverwriteloadedtas 1"
                               : "tas_confirmoverwriteloadedtas 0");
        Frame();
    }
    void Frame() { host.RunGameFrame(); }
    // As if a crash had left a journal: a copy of the one being written, which
    // the page's Recover brings back while the game thread goes on.
    void OfferALeftJournal(int round) {
        const auto folder = Plugin().DataFolder() / "recovery";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.path().extension() == ".journal") {
                std::filesystem::copy_file(
                    entry.path(), folder / ("left-" + std::to_string(round) + ".journal"), error);
                break;
            }
        }
        Plugin().FindRecoveries();
    }
};

TEST_F(ThreadStressTest, PageDrawnFreelyWhileTheGameThreadWorks) {
    std::atomic<int> passes = 0;
    host.GetUi().StartFreeRunning([&](sim::Ui& ui) { UseEveryTab(ui, passes++); });
    int rounds = 0;
    const auto end = std::chrono::steady_clock::now() + StressTime();
    while (std::chrono::steady_clock::now() < end || rounds < 3 || passes < 3) {
        PlayRound(rounds++);
    }
    host.GetUi().StopFreeRunning();

    std::printf("%d game rounds, %d passes over the page\n", rounds, passes.load());
    EXPECT_GE(rounds, 3);
    EXPECT_GE(passes, 3);
    std::set<std::string> errors(host.Errors().begin(), host.Errors().end());
    for (const auto& error : errors) {
        ADD_FAILURE() << "error: " << error;
    }
    // The page's own actions reached the game thread.
    auto toasted = [&](const std::string& text) {
        return std::any_of(host.Toasts().begin(), host.Toasts().end(),
                           [&](const sim::ToastRecord& toast) { return toast.text == text; });
    };
    EXPECT_TRUE(toasted("TAS made1 created") ||
                toasted("made1 already exists, new TAS not created"));
    // The page still works in lock-step after all that.
    EXPECT_EQ(host.GetUi().Click("Files"), "");
}

} // namespace
