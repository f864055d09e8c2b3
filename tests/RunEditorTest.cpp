// The run editor on its own, against a host that only notes what it is told.
#include "editor/RunEditor.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

namespace {

struct FakeHost final : RunEditorHost {
    void Log(const std::string& text) override { Logs.push_back(text); }
    void Toast(const std::string& text, ToastKind kind) override { Toasts.push_back({text, kind}); }
    void StopRun() override { ++Stops; }
    void PublishRunCheck(bool newRun) override { NewRuns += newRun; }
    void DropStaleTrace() override {}
    void BeforeRunChanges() override {}

    std::vector<std::string> Logs;
    std::vector<std::pair<std::string, ToastKind>> Toasts;
    int Stops = 0;
    int NewRuns = 0;
};

using Texts = std::pair<std::string, std::string>; // undo, redo

class RunEditorTest : public ::testing::Test {
protected:
    RunEditorTest() {
        std::filesystem::create_directory(folder.path() / "recovery");
        editor.SetDataFolder(folder.path());
        editor.StartJournal();
        ReplacedRun first;
        first.Name = "first";
        first.Data.Hitbox = HitboxType::Octane;
        for (int i = 0; i < 10; ++i) {
            first.Data.Inputs.push_back(VehicleInput{});
            first.Data.Inputs.back().Throttle = static_cast<float>(i);
        }
        editor.ReplaceLoadedRun(std::move(first), "load of first");
    }
    std::string Inputs() const {
        return std::string(reinterpret_cast<const char*>(run.Data.Inputs.data()),
                           run.Data.Inputs.size() * sizeof(VehicleInput));
    }
    Texts Shown() {
        std::lock_guard guard(lock);
        return {editor.UndoText(), editor.RedoText()};
    }

    TempFolder folder;
    Tas run;
    std::mutex lock;
    FakeHost host;
    RunEditor editor{run, lock, host};
};

TEST_F(RunEditorTest, AnEditIsUndoneAndRedoneByteForByteWithItsTexts) {
    EXPECT_EQ(host.NewRuns, 1);
    EXPECT_EQ(Shown(), Texts()) << "the first run is no step";
    const std::string before = Inputs();
    editor.SetInputCommand({"tas_setinput", "2", "4", "steer", "1"});
    const std::string after = Inputs();
    ASSERT_NE(after, before);
    EXPECT_EQ(host.Logs.back(), "Set steer to 1 on frames 2 to 4");
    const std::string what = "set steer to 1 on frames 2 to 4";
    EXPECT_EQ(Shown(), Texts(what, ""));
    EXPECT_TRUE(editor.Unsaved());

    editor.Undo();
    EXPECT_EQ(Inputs(), before);
    EXPECT_EQ(host.Logs.back(), "Undone: " + what);
    EXPECT_EQ(Shown(), Texts("", what));
    editor.Redo();
    EXPECT_EQ(Inputs(), after);
    EXPECT_EQ(host.Logs.back(), "Redone: " + what);
    editor.Redo();
    EXPECT_EQ(host.Logs.back(), "Nothing to redo");
}

TEST_F(RunEditorTest, AReplacementIsAStepThatStopsTheRun) {
    ReplacedRun second;
    second.Name = "second";
    editor.ReplaceLoadedRun(std::move(second), "load of second");
    EXPECT_EQ(host.Stops, 2);
    EXPECT_EQ(run.Name, "second");
    EXPECT_EQ(Shown(), Texts("load of second", ""));
    editor.Undo();
    EXPECT_EQ(run.Name, "first");
    EXPECT_EQ(run.Data.Inputs.size(), 10u);
    EXPECT_EQ(Shown(), Texts("", "load of second"));
    EXPECT_EQ(host.NewRuns, 3);
}

// A take-over's keyframes reach the journal as they are recorded, and again
// when the run is journaled anew; recovery brings back the base's too.
TEST_F(RunEditorTest, KeyframesAreJournaledWithTheirFrames) {
    run.Data.Trace.assign(10, TraceEntry{});
    run.Data.Keyframes.assign(1, Keyframe{});
    editor.SetJournalBase("first", std::nullopt);
    run.CurrentFrame = 10;
    run.InputsApplied = false;
    editor.TakeOverBegins();
    for (uint64_t frame = 10; frame < 13; ++frame) {
        run.PendingInputs.push_back(VehicleInput{});
        run.PendingTrace.push_back(TraceEntry{});
        editor.Record(VehicleInput{}, TraceEntry{});
    }
    run.PendingKeyframes.push_back(Keyframe{});
    run.PendingKeyframes[0].Frame = 12;
    editor.RecordKeyframe(run.PendingKeyframes[0]);
    editor.RunStopped();
    editor.RejournalRun();
    editor.KeepForRecovery();
    int journals = 0;
    for (const auto& entry : std::filesystem::directory_iterator(editor.RecoveryFolder())) {
        std::ifstream stream(entry.path(), std::ios::binary);
        Tas recovered;
        ASSERT_EQ(ReadRecoveryJournal(stream, entry.file_size(), recovered).outcome,
                  JournalReadResult::Read);
        EXPECT_EQ(recovered.Data.Keyframes.size(), 1u);
        ASSERT_EQ(recovered.PendingKeyframes.size(), 1u);
        EXPECT_EQ(recovered.PendingKeyframes[0].Frame, 12u);
        ++journals;
    }
    EXPECT_EQ(journals, 2);
}

// The journal's splice of the whole trace leaves the markers as they are.
TEST_F(RunEditorTest, AStartsEditTakesTheKeyframesWithTheTraceAndLeavesTheMarkers) {
    run.Data.Trace.assign(10, TraceEntry{});
    run.Data.Keyframes.assign(1, Keyframe{});
    run.Data.Markers = {{3, "m"}};
    editor.SetJournalBase("first", std::nullopt);
    run.Data.CarStart.Location.X = 5.0f; // as the page edits it, in place
    editor.CommitStartsEdit(StartingState(), StartingState(), editor.Generation());
    EXPECT_TRUE(run.Data.Trace.empty() && run.Data.Keyframes.empty());
    editor.Undo();
    EXPECT_EQ(run.Data.Trace.size(), 10u);
    EXPECT_EQ(run.Data.Keyframes.size(), 1u);
    editor.Redo();
    EXPECT_TRUE(run.Data.Keyframes.empty());
    editor.KeepForRecovery();
    for (const auto& entry : std::filesystem::directory_iterator(editor.RecoveryFolder())) {
        std::ifstream stream(entry.path(), std::ios::binary);
        Tas recovered;
        ASSERT_EQ(ReadRecoveryJournal(stream, entry.file_size(), recovered).outcome,
                  JournalReadResult::Read);
        EXPECT_EQ(recovered.Data.Markers, run.Data.Markers);
    }
}

TEST_F(RunEditorTest, NothingChangesWhileTheRunPlays) {
    editor.SetInputCommand({"tas_setinput", "0", "0", "throttle", "1"});
    const std::string edited = Inputs();
    host.Logs.clear();
    run.State = TasState::Replaying;
    editor.Undo();
    editor.Redo();
    editor.DeleteFramesCommand({"tas_deleteframes", "0", "3"});
    EXPECT_EQ(Inputs(), edited);
    EXPECT_EQ(host.Logs, std::vector<std::string>{"Stop the TAS before editing"});
    const std::vector<std::pair<std::string, ToastKind>> toasts{
        {"Stop the TAS before undoing", ToastKind::Error},
        {"Stop the TAS before undoing", ToastKind::Error},
        {"Stop the TAS before editing", ToastKind::Error}};
    EXPECT_EQ(host.Toasts, toasts);
}

} // namespace
