#include "editor/RunEditor.h"
#include "SliceCopy.h"
#include "runs/files/RunFolder.h"
#include "runs/recovery/RecoveryJournal.h"

#include <fmt/core.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool SameStart(const StartingState& a, const StartingState& b) {
    return std::memcmp(&a.Location, &b.Location, sizeof a.Location) == 0 &&
           std::memcmp(&a.Rotation, &b.Rotation, sizeof a.Rotation) == 0 &&
           std::memcmp(&a.Velocity, &b.Velocity, sizeof a.Velocity) == 0 &&
           std::memcmp(&a.AngularVelocity, &b.AngularVelocity, sizeof a.AngularVelocity) == 0 &&
           a.Enabled == b.Enabled;
}

// Unique without asking the disk, so a tick can start a journal.
std::string NewJournalName() {
    static uint64_t sequence = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return fmt::format("run-{}-{}.journal",
                       std::chrono::duration_cast<std::chrono::microseconds>(now).count(),
                       ++sequence);
}

// The whole text as a number, nothing before or after it.
template <typename Number> std::errc ReadNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ptr != end) {
        return std::errc::invalid_argument;
    }
    return result.ec;
}

} // namespace

RunEditor::RunEditor(Tas& run, std::mutex& runLock, RunEditorHost& host)
    : Run(run), RunLock(runLock), Host(host) {}

fs::path RunEditor::NewJournalPath() const {
    return RecoveryFolder() / NewJournalName();
}

void RunEditor::MarkUnsaved() {
    RunUnsaved = true;
    if (!Journal.Active()) {
        Journal.Begin(NewJournalPath(), NextJournalBase);
    }
}

void RunEditor::SetJournalBase(const std::string& name, const std::optional<TasFile>& file) {
    NextJournalBase.Name = name;
    NextJournalBase.File = file;
    NextJournalBase.Frames = Run.Data.Inputs.size();
    if (file) {
        NextJournalBase.Record.clear();
        return;
    }
    std::lock_guard lock(RunLock); // the page may be editing the starts
    NextJournalBase.Record = BaseRecord(name, Run.Data);
}

void RunEditor::ResumeJournal(const fs::path& journal, uint64_t validBytes) {
    Journal.Resume(journal, validBytes);
}

void RunEditor::RunSaved(const std::string& name) {
    GrownTraceCopy.reset(); // the save wrote the trace
    SetJournalBase(name, TasFile{name, RunFilePath(DataFolder, name)});
    if (Run.InputsApplied) { // a pending take-over is still kept for recovery
        Journal.Remove();
        Journal.AwaitFileTasks(); // gone before the save is reported
        RunUnsaved = false;
    }
    ReportJournalFailures();
}

void RunEditor::ReportJournalFailures() {
    const std::vector<std::string> failures = Journal.TakeFailures();
    if (failures.empty()) {
        return;
    }
    std::string name;
    {
        std::lock_guard lock(RunLock);
        name = Run.Name;
    }
    for (const std::string& failure : failures) {
        Host.Log(fmt::format("Unsaved work of {} can't be kept for recovery: {}", name, failure));
        Host.Toast("Unsaved work can't be kept for recovery, check logs", ToastKind::Error);
    }
}

void RunEditor::TraceGrown() {
    GrownTraceCopy.reset();
    if (RunUnsaved || !NextJournalBase.File) {
        return;
    }
    TraceCopy copy{NextJournalBase.File->Path,
                   NextJournalBase.Name,
                   Run.Data.Inputs.size(),
                   Run.Data.Trace.size(),
                   Run.Data.Keyframes.size(),
                   {},
                   {}};
    copy.Trace.reserve(copy.Entries); // taken, not touched, until the slices fill it
    copy.Keyframes.reserve(copy.KeyframeCount);
    GrownTraceCopy = std::move(copy);
}

// About 20 µs of copying a tick: an hour's trace is copied in under 2 s.
void RunEditor::CopyGrownTraceSlice() {
    constexpr size_t SliceBytes = size_t{128} << 10;
    TraceCopy& copy = *GrownTraceCopy;
    if (!CopySlice(copy.Trace, Run.Data.Trace, copy.Entries, SliceBytes) ||
        !CopySlice(copy.Keyframes, Run.Data.Keyframes, copy.KeyframeCount, SliceBytes)) {
        return;
    }
    TraceSaves.Post([file = copy.RunFile, name = copy.Name, frames = copy.Frames,
                     trace = std::move(copy.Trace),
                     keyframes = std::move(copy.Keyframes)]() mutable {
        return WriteGrownTrace(file, name, frames, std::move(trace), std::move(keyframes));
    });
    GrownTraceCopy.reset();
}

void RunEditor::ReportTraceSaves() {
    for (const std::string& report : TraceSaves.TakeReports()) {
        Host.Log(report);
    }
}

// A user's action that waits anyway: the rest of the copy is made at once.
void RunEditor::FinishTraceWrites() {
    while (GrownTraceCopy) {
        CopyGrownTraceSlice();
    }
    TraceSaves.Await();
}

void RunEditor::BeforeRunFileChanges() {
    Host.BeforeRunChanges(); // a save lends the run's arrays away
    Journal.AwaitFileTasks();
    FinishTraceWrites();
}

void RunEditor::CheckJournal() {
    if (GrownTraceCopy) {
        CopyGrownTraceSlice();
    }
    if (TraceSaves.HasReports()) {
        ReportTraceSaves();
    }
    if (!Journal.Active() || !Journal.PollDue()) {
        return;
    }
    if (Journal.TakeBaseChanged() && RunUnsaved) {
        RejournalRun();
    }
    ReportJournalFailures();
}

void RunEditor::KeepForRecovery() {
    FinishTraceWrites(); // said before the plugin goes
    ReportTraceSaves();
    Journal.AwaitFileTasks();
    if (Journal.TakeBaseChanged() && RunUnsaved && Journal.Active()) {
        RejournalRun(); // the run file changed before its base was read
    }
    const bool kept = Journal.Join();
    ReportJournalFailures();
    if (RunUnsaved && kept) {
        std::string name;
        {
            std::lock_guard lock(RunLock);
            name = Run.Name;
        }
        Host.Log(fmt::format("Unsaved run {} kept for recovery", name));
    }
}

void RunEditor::TakeOverBegins() {
    MarkUnsaved();
    Journal.TakeOver(Run.CurrentFrame, Run.NextTeleport);
    TakeOverRecorded = true;
}

void RunEditor::RunStopped() {
    Journal.HandOver(); // a recording that ends is kept up to its last tick
    DropRedoneAfterTakeOver();
    PublishHistory(); // a take-over it ends is the change an undo takes back
}

// A take-over recorded is a new change: what was undone before it is no
// longer done again. Dropped once the recording ends, not on its tick.
void RunEditor::DropRedoneAfterTakeOver() {
    if (!TakeOverRecorded) {
        return;
    }
    TakeOverRecorded = false;
    Steps.TakeUndone();
}

void RunEditor::Update() {
    if (Run.State != TasState::Stopped || Run.InputsApplied) {
        return;
    }
    Host.BeforeRunChanges();
    RunSplice undo = MergeUndo(Run);
    const std::string what = fmt::format("update at frame {}, {} frames replaced by {}", undo.At,
                                         undo.Inputs.size(), undo.Removed);
    {
        std::lock_guard lock(RunLock); // the page reads the frames under it
        Run.MergePending();
    }
    Steps.Push(HistoryStep(what, std::move(undo)));
    Journal.Merge();
    ReportJournalFailures();
    Host.PublishRunCheck(false);
    PublishHistory();
    Host.Toast("New inputs applied", ToastKind::Info);
}

bool RunEditor::RefusedWhileRunning() {
    if (Run.State == TasState::Stopped) {
        return false;
    }
    Host.Toast("Stop the TAS before undoing", ToastKind::Error);
    return true;
}

void RunEditor::Undo() {
    if (RefusedWhileRunning()) {
        return;
    }
    DropRedoneAfterTakeOver(); // a start that never began leaves it stopped
    if (!Run.InputsApplied) {
        // A take-over recorded and not applied is the latest change; what
        // was undone before it stays to be done again after it.
        const std::string what = TakeOverName(Run.PendingInputs.size(), Run.CurrentFrame);
        PendingTakeOver pending;
        {
            std::lock_guard lock(RunLock); // the page reads the pending frames
            pending = TakePending(Run);
        }
        Journal.DropPending();
        Steps.InsertUndone(HistoryStep(what, std::move(pending)));
        AfterChange();
        Host.Log("Undone: " + what);
        return;
    }
    HistoryStep* step = Steps.ToUndo();
    if (!step) {
        Host.Log("Nothing to undo");
        return;
    }
    if (std::holds_alternative<std::unique_ptr<ReplacedRun>>(step->Change)) {
        UndoReplace();
        return;
    }
    ApplyStep(*step);
    Steps.Undone();
    AfterChange();
    Host.Log("Undone: " + step->What);
}

void RunEditor::Redo() {
    if (RefusedWhileRunning()) {
        return;
    }
    DropRedoneAfterTakeOver();
    HistoryStep* step = Steps.ToRedo();
    if (!step) {
        Host.Log("Nothing to redo");
        return;
    }
    if (std::holds_alternative<std::unique_ptr<ReplacedRun>>(step->Change)) {
        RedoReplace();
        return;
    }
    ApplyStep(*step);
    Steps.Redone();
    AfterChange();
    Host.Log("Redone: " + step->What);
}

// Applies the step to the run and journals the change: the journal holds
// what the step does, so a splice is written before it turns into its inverse.
void RunEditor::ApplyStep(HistoryStep& step) {
    Host.BeforeRunChanges();
    MarkUnsaved(); // a journal begun here starts from the run before the step
    TasData& data = Run.Data;
    if (auto* splice = std::get_if<RunSplice>(&step.Change)) {
        std::string journaled = SplicePayload(*splice);
        {
            std::lock_guard lock(RunLock); // the page reads the frames under it
            ApplySplice(data, *splice);
        }
        Journal.Write(JournalRecord::Splice, std::move(journaled));
    } else if (auto* starts = std::get_if<StartsChange>(&step.Change)) {
        {
            std::lock_guard lock(RunLock);
            std::swap(data.CarStart, starts->Car);
            std::swap(data.BallStart, starts->Ball);
            Journal.Write(JournalRecord::Starts, StartsPayload(data.CarStart, data.BallStart));
            // The trace belongs to the starts it was recorded from.
            data.Trace.swap(starts->Trace);
            data.Keyframes.swap(starts->Keyframes);
        }
        data.TraceStale = false;
        JournalWholeTrace();
    } else if (auto* version = std::get_if<VersionChange>(&step.Change)) {
        std::string journaled = SplicePayload(version->Frames);
        {
            std::lock_guard lock(RunLock);
            std::swap(data.CarStart, version->Car);
            std::swap(data.BallStart, version->Ball);
            ApplySplice(data, version->Frames);
        }
        data.TraceStale = false; // the trace came with its starts
        // Recovery sets the starts, then the splice brings their trace.
        Journal.Write(JournalRecord::Starts, StartsPayload(data.CarStart, data.BallStart));
        Journal.Write(JournalRecord::Splice, std::move(journaled));
    } else if (auto* name = std::get_if<NameChange>(&step.Change)) {
        std::lock_guard lock(RunLock);
        Run.Name.swap(name->Name);
        Journal.Write(JournalRecord::Name, NamePayload(Run.Name));
    } else if (auto* pending = std::get_if<PendingTakeOver>(&step.Change)) {
        {
            std::lock_guard lock(RunLock);
            PendingTakeOver current = TakePending(Run);
            RestorePending(Run, *pending);
            *pending = std::move(current);
        }
        if (Run.InputsApplied) {
            Journal.DropPending();
        } else {
            JournalPending();
        }
    }
}

// The run's trace as it now stands, whole or none. Read where it lies: the
// page reads it too, under the lock this does not take.
void RunEditor::JournalWholeTrace() {
    Journal.Write(JournalRecord::Splice, WholeTracePayload(Run.Data));
}

// The pending take-over, again, as its recording wrote it.
void RunEditor::JournalPending() {
    Journal.TakeOver(Run.CurrentFrame, Run.NextTeleport);
    for (size_t i = 0; i < Run.PendingInputs.size(); ++i) {
        Journal.Record(Run.PendingInputs[i], Run.PendingTrace[i]);
    }
    for (const uint64_t frame : Run.PendingTeleportFrames) {
        Journal.Teleport(frame);
    }
    for (size_t i = 0; i < Run.PendingKeyframes.size(); ++i) {
        Journal.RecordKeyframe(Run.PendingKeyframes[i]);
    }
    Journal.HandOver();
}

// A replacement is always its run's first step: undone, it is the step the
// run brought back can redo, after any that run has undone since.
void RunEditor::UndoReplace() {
    HistoryStep first = Steps.TakeFirst();
    auto restored = std::move(std::get<std::unique_ptr<ReplacedRun>>(first.Change));
    auto current = std::make_unique<ReplacedRun>();
    SwapLoadedRun(*restored, *current); // the current run leaves with the steps it can redo
    JournalBroughtBack(restored->Journal);
    Steps.AppendUndone(HistoryStep(first.What, std::move(current)));
    PublishHistory();
    Host.Log("Undone: " + first.What);
}

void RunEditor::RedoReplace() {
    HistoryStep step = Steps.TakeRedo();
    auto restored = std::move(std::get<std::unique_ptr<ReplacedRun>>(step.Change));
    auto current = std::make_unique<ReplacedRun>();
    SwapLoadedRun(*restored, *current);
    JournalBroughtBack(restored->Journal);
    std::deque<HistoryStep> redo = Steps.TakeUndone();
    Steps.Push(HistoryStep(step.What, std::move(current)));
    Steps.AppendUndone(std::move(redo));
    PublishHistory();
    Host.Log("Redone: " + step.What);
}

// Puts in in the loaded run's place, with its name, unsaved state, pending
// take-over and history, and moves what was there into out.
void RunEditor::SwapLoadedRun(ReplacedRun& in, ReplacedRun& out) {
    Host.BeforeRunChanges();
    Host.StopRun();      // the incoming run must not keep the old one's speed or pending start
    FinishTraceWrites(); // of the run going, whose trace its stop may have grown
    out.Unsaved = RunUnsaved;
    out.Journal = Journal.Active() ? Journal.Path() : fs::path();
    Journal.End(); // its journal stays on the disk while the run waits here
    out.History = std::move(Steps);
    Steps = std::move(in.History);
    {
        std::lock_guard lock(RunLock); // the run is replaced under the page's run editor
        out.Pending = TakePending(Run);
        Run.ResetRunState();
        // Moves: the arrays change hands, nothing is copied or freed here.
        out.Data = std::move(Run.Data);
        Run.Data = std::move(in.Data);
        out.Name = std::move(Run.Name);
        Run.Name = std::move(in.Name);
        RestorePending(Run, in.Pending);
    }
    ++RunGeneration;
    RunUnsaved = in.Unsaved;
    RunPutIn = true;
    Host.PublishRunCheck(true);
}

// A run brought back by an undo or a redo goes on with the journal it left on
// the disk when it holds unsaved work; otherwise one begun later starts from
// its file.
void RunEditor::JournalBroughtBack(const fs::path& leftJournal) {
    if (RunUnsaved && !leftJournal.empty()) {
        Journal.Reopen(leftJournal);
        return;
    }
    if (RunUnsaved) {
        RejournalRun(); // its journal failed: the run as it stands
        return;
    }
    std::string name;
    {
        std::lock_guard lock(RunLock); // the page renames in place
        name = Run.Name;
    }
    const fs::path file = RunFilePath(DataFolder, name);
    std::error_code error;
    const bool saved = fs::is_regular_file(file, error);
    SetJournalBase(name, saved ? std::optional(TasFile{name, file}) : std::nullopt);
}

void RunEditor::ReplaceLoadedRun(ReplacedRun incoming, const std::string& what) {
    // Only the empty run the plugin starts with is no step: it has nothing
    // an undo could bring back. A run loaded empty is a run like any other.
    const bool first = !RunPutIn && Run.Data.Hitbox == HitboxType::Other && !RunUnsaved &&
                       Steps.Size() == 0 && Run.InputsApplied;
    Steps.TakeUndone(); // a new change: what was undone is done no more
    auto replaced = std::make_unique<ReplacedRun>();
    SwapLoadedRun(incoming, *replaced);
    if (!first) {
        Steps.Push(HistoryStep(what, std::move(replaced)));
    }
    PublishHistory();
}

void RunEditor::ReplaceVersion(VersionChange version, const std::string& what) {
    HistoryStep step(what, std::move(version));
    ApplyStep(step); // it then holds the version it replaced
    PushStep(std::move(step));
}

void RunEditor::PushStep(HistoryStep step) {
    Steps.Push(std::move(step));
    AfterChange();
}

void RunEditor::ThrowAwayPending() {
    Journal.DropPending();
    TakeOverRecorded = false; // the step below ends what was undone anyway
    const std::string what =
        TakeOverName(Run.PendingInputs.size(), Run.CurrentFrame) + " thrown away";
    PendingTakeOver pending;
    {
        std::lock_guard lock(RunLock);
        pending = TakePending(Run);
    }
    Steps.Push(HistoryStep(what, std::move(pending)));
    PublishHistory();
}

void RunEditor::CommitStartsEdit(const StartingState& car, const StartingState& ball,
                                 uint64_t run) {
    if (run != RunGeneration) {
        return;
    }
    StartsChange change{car, ball, {}, {}};
    std::string what;
    {
        std::lock_guard lock(RunLock);
        const bool carEdited = !SameStart(car, Run.Data.CarStart);
        if (!carEdited && SameStart(ball, Run.Data.BallStart)) {
            return;
        }
        what = carEdited ? "edit of the car's starting state" : "edit of the ball's starting state";
    }
    Host.BeforeRunChanges();
    MarkUnsaved();
    {
        std::lock_guard lock(RunLock); // also the page's, which reads the trace
        Journal.Write(JournalRecord::Starts, StartsPayload(Run.Data.CarStart, Run.Data.BallStart));
        // The trace was recorded from the starts before the edit: it goes with them.
        change.Trace = std::move(Run.Data.Trace);
        Run.Data.Trace.clear();
        change.Keyframes = std::move(Run.Data.Keyframes);
        Run.Data.Keyframes.clear();
        Host.DropStaleTrace();
    }
    JournalWholeTrace();
    PushStep(HistoryStep(what, std::move(change)));
}

void RunEditor::CommitRename(const std::string& oldName, uint64_t run) {
    if (run != RunGeneration) {
        return;
    }
    std::string what;
    {
        std::lock_guard lock(RunLock);
        if (Run.Name == oldName) {
            return;
        }
        what = "rename to " + Run.Name;
        MarkUnsaved();
        Journal.Write(JournalRecord::Name, NamePayload(Run.Name));
    }
    PushStep(HistoryStep(what, NameChange{oldName}));
}

// After a change the journal holds: the run counts as unsaved.
void RunEditor::AfterChange() {
    RunUnsaved = true;
    GrownTraceCopy.reset(); // the trace it copies may have changed
    ReportJournalFailures();
    Host.PublishRunCheck(false);
    PublishHistory();
}

// A fresh journal of the run as it stands, its pending take-over included:
// a copy of the whole run, for a run whose journal is gone.
void RunEditor::RejournalRun() {
    JournalBase base;
    {
        std::lock_guard lock(RunLock); // the page may be changing name and starts
        base.Name = Run.Name;
        base.Frames = Run.Data.Inputs.size();
        base.Record = BaseRecord(base.Name, Run.Data);
    }
    Journal.Begin(NewJournalPath(), base);
    if (!Run.InputsApplied) {
        JournalPending();
    }
    ReportJournalFailures();
}

void RunEditor::PublishHistory() {
    for (const std::string& what : Steps.TakeForgotten()) {
        Host.Log("History full: its oldest step, " + what + ", is forgotten");
    }
    std::string undo;
    if (!Run.InputsApplied) {
        undo = TakeOverName(Run.PendingInputs.size(), Run.CurrentFrame);
    } else if (const HistoryStep* step = Steps.ToUndo()) {
        undo = step->What;
    }
    std::string redo;
    if (const HistoryStep* step = Steps.ToRedo()) {
        redo = step->What;
    }
    std::lock_guard lock(RunLock);
    UndoLine = std::move(undo);
    RedoLine = std::move(redo);
}

bool RunEditor::FrameEditRefused() {
    const char* why = nullptr;
    if (Run.State != TasState::Stopped) {
        why = "Stop the TAS before editing";
    } else if (Run.Data.Hitbox == HitboxType::Other) {
        why = "Load or create a TAS before editing";
    } else if (!Run.InputsApplied) {
        // The new inputs join the run at the frame they were recorded from,
        // which an edit before it would move.
        why = "Apply the new inputs with Update before editing";
    }
    if (why == nullptr) {
        return false;
    }
    Host.Log(why);
    Host.Toast(why, ToastKind::Error);
    return true;
}

void RunEditor::EditFrames(RunSplice change, const std::string& what) {
    if (FrameEditRefused()) {
        return;
    }
    Host.BeforeRunChanges();
    MarkUnsaved(); // a journal begun here starts from the run before the edit
    std::string journaled = SplicePayload(change);
    {
        // The page reads the frames under this lock. A change that does not
        // fit the run throws and changes nothing.
        std::lock_guard lock(RunLock);
        ApplySplice(Run.Data, change);
    }
    Journal.Write(JournalRecord::Splice, std::move(journaled));
    // Applied, the change holds what it replaced: it is the edit's undo.
    std::string step = what;
    step[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(step[0])));
    PushStep(HistoryStep(std::move(step), std::move(change)));
    Host.Log(what);
}

void RunEditor::EditFromPage(const std::function<FrameEdit(const TasData&)>& make) {
    if (FrameEditRefused()) {
        return;
    }
    FrameEdit edit = make(Run.Data);
    if (!edit.Change) {
        Host.Log(edit.Error);
        Host.Toast(edit.Error, ToastKind::Error);
        return;
    }
    EditFrames(std::move(*edit.Change), edit.What);
}

namespace {

// A console frame edit's arguments, read or refused with a console line.
class EditArguments {
public:
    EditArguments(RunEditorHost& host, const char* command) : Host(host), Command(command) {}

    bool Frame(const char* what, const std::string& text, uint64_t& frame) {
        if (ReadNumber(text, frame) == std::errc()) {
            return true;
        }
        Host.Log(std::string(Command) + ": " + what + " must be a frame number, not \"" + text +
                 "\"");
        return false;
    }
    // Says why the edit cannot be made, when it cannot.
    bool Refused(const FrameEdit& edit) {
        if (edit.Change) {
            return false;
        }
        Host.Log(std::string(Command) + ": " + edit.Error);
        return true;
    }
    void Say(const std::string& why) { Host.Log(std::string(Command) + ": " + why); }

private:
    RunEditorHost& Host;
    const char* Command;
};

} // namespace

void RunEditor::SetInputCommand(const std::vector<std::string>& args) {
    EditArguments read(Host, "tas_setinput");
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 5) {
        Host.Log("Usage: tas_setinput FROM TO CONTROL VALUE, CONTROL one of " + ControlNames());
        return;
    }
    uint64_t from = 0;
    uint64_t to = 0;
    if (!read.Frame("FROM", args[1], from) || !read.Frame("TO", args[2], to)) {
        return;
    }
    const std::optional<FrameControl> control = ControlByName(args[3]);
    if (!control) {
        read.Say("there is no control \"" + args[3] + "\", CONTROL is one of " + ControlNames());
        return;
    }
    float value = 0.0f;
    if (const std::errc error = ReadNumber(args[4], value); error != std::errc()) {
        read.Say("VALUE \"" + args[4] + "\" " +
                 (error == std::errc::result_out_of_range ? "does not fit a 32-bit float"
                                                          : "is not a number"));
        return;
    }
    FrameEdit edit = SetControl(Run.Data, from, to, *control, value);
    if (!read.Refused(edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void RunEditor::InsertFramesCommand(const std::vector<std::string>& args) {
    EditArguments read(Host, "tas_insertframes");
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 3 && args.size() != 4) {
        Host.Log("Usage: tas_insertframes AT COUNT [neutral|copy], neutral when left out");
        return;
    }
    uint64_t at = 0;
    uint64_t count = 0;
    if (!read.Frame("AT", args[1], at)) {
        return;
    }
    if (ReadNumber(args[2], count) != std::errc()) {
        read.Say("COUNT must be a number of frames, not \"" + args[2] + "\"");
        return;
    }
    InsertFill fill = InsertFill::Neutral;
    if (args.size() == 4) {
        if (args[3] == "copy") {
            fill = InsertFill::Copy;
        } else if (args[3] != "neutral") {
            read.Say("the frames are neutral or copy, not \"" + args[3] + "\"");
            return;
        }
    }
    FrameEdit edit = InsertFrames(Run.Data, at, count, fill);
    if (!read.Refused(edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void RunEditor::DeleteFramesCommand(const std::vector<std::string>& args) {
    EditArguments read(Host, "tas_deleteframes");
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 3) {
        Host.Log("Usage: tas_deleteframes FROM TO");
        return;
    }
    uint64_t from = 0;
    uint64_t to = 0;
    if (!read.Frame("FROM", args[1], from) || !read.Frame("TO", args[2], to)) {
        return;
    }
    FrameEdit edit = DeleteFrames(Run.Data, from, to);
    if (!read.Refused(edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void RunEditor::MarkerCommand(const std::vector<std::string>& args) {
    EditArguments read(Host, "tas_marker");
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() < 3) {
        Host.Log("Usage: tas_marker F TEXT, TEXT the rest of the line");
        return;
    }
    uint64_t frame = 0;
    if (!read.Frame("F", args[1], frame)) {
        return;
    }
    std::string text = args[2];
    for (size_t i = 3; i < args.size(); ++i) {
        text += " " + args[i];
    }
    FrameEdit edit = SetMarker(Run.Data, frame, text);
    if (!read.Refused(edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void RunEditor::UnmarkerCommand(const std::vector<std::string>& args) {
    EditArguments read(Host, "tas_unmarker");
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 2) {
        Host.Log("Usage: tas_unmarker F");
        return;
    }
    uint64_t frame = 0;
    if (!read.Frame("F", args[1], frame)) {
        return;
    }
    FrameEdit edit = RemoveMarker(Run.Data, frame);
    if (!read.Refused(edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}
