#include "Gyrolog.h"
#include "runs/RecoveryJournal.h"
#include "runs/RunFolder.h"

#include <cstring>
#include <fmt/core.h>

namespace fs = std::filesystem;

namespace {

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
    }
}

bool SameStart(const StartingState& a, const StartingState& b) {
    return std::memcmp(&a.Location, &b.Location, sizeof a.Location) == 0 &&
           std::memcmp(&a.Rotation, &b.Rotation, sizeof a.Rotation) == 0 &&
           std::memcmp(&a.Velocity, &b.Velocity, sizeof a.Velocity) == 0 &&
           std::memcmp(&a.AngularVelocity, &b.AngularVelocity, sizeof a.AngularVelocity) == 0 &&
           a.Enabled == b.Enabled;
}

} // namespace

bool Gyrolog::RefusedWhileRunning() {
    if (LoadedTas.State == TasState::Stopped) {
        return false;
    }
    ShowToast("Stop the TAS before undoing", 3);
    return true;
}

void Gyrolog::Undo() {
    if (RefusedWhileRunning()) {
        return;
    }
    if (!LoadedTas.InputsApplied) {
        // A take-over recorded and not applied is the latest change.
        const std::string what =
            TakeOverName(LoadedTas.PendingInputs.size(), LoadedTas.CurrentFrame);
        PendingTakeOver pending;
        {
            std::lock_guard lock(LoadedTasLock); // the page reads the pending frames
            pending = TakePending(LoadedTas);
        }
        Journal.DropPending();
        History.PushUndone(HistoryStep(what, std::move(pending)));
        AfterChange();
        LogLine("Undone: " + what);
        return;
    }
    HistoryStep* step = History.ToUndo();
    if (!step) {
        LogLine("Nothing to undo");
        return;
    }
    if (std::holds_alternative<std::unique_ptr<ReplacedRun>>(step->Change)) {
        UndoReplace();
        return;
    }
    ApplyStep(*step);
    History.Undone();
    AfterChange();
    LogLine("Undone: " + step->What);
}

void Gyrolog::Redo() {
    if (RefusedWhileRunning()) {
        return;
    }
    HistoryStep* step = History.ToRedo();
    // A take-over recorded since the undo is a new change: only the one it
    // took back can be done again over it.
    if (!step ||
        (!LoadedTas.InputsApplied && !std::holds_alternative<PendingTakeOver>(step->Change))) {
        LogLine("Nothing to redo");
        return;
    }
    if (std::holds_alternative<std::unique_ptr<ReplacedRun>>(step->Change)) {
        RedoReplace();
        return;
    }
    ApplyStep(*step);
    History.Redone();
    AfterChange();
    LogLine("Redone: " + step->What);
}

// Applies the step to the run and journals the change: the journal holds
// what the step does, so a splice is written before it turns into its inverse.
void Gyrolog::ApplyStep(HistoryStep& step) {
    MarkUnsaved(); // a journal begun here starts from the run before the step
    TasData& data = LoadedTas.Data;
    if (auto* splice = std::get_if<RunSplice>(&step.Change)) {
        std::string journaled = SplicePayload(*splice);
        {
            std::lock_guard lock(LoadedTasLock); // the page reads the frames under it
            ApplySplice(data, *splice);
        }
        Journal.Write(JournalRecord::Splice, std::move(journaled));
    } else if (auto* starts = std::get_if<StartsChange>(&step.Change)) {
        {
            std::lock_guard lock(LoadedTasLock);
            std::swap(data.CarStart, starts->Car);
            std::swap(data.BallStart, starts->Ball);
            Journal.Write(JournalRecord::Starts, StartsPayload(data.CarStart, data.BallStart));
        }
        // The trace belongs to the starts it was recorded from.
        data.Trace.swap(starts->Trace);
        data.TraceStale = false;
        JournalWholeTrace();
    } else if (auto* name = std::get_if<NameChange>(&step.Change)) {
        std::lock_guard lock(LoadedTasLock);
        LoadedTas.Name.swap(name->Name);
        Journal.Write(JournalRecord::Name, NamePayload(LoadedTas.Name));
    } else if (auto* pending = std::get_if<PendingTakeOver>(&step.Change)) {
        {
            std::lock_guard lock(LoadedTasLock);
            PendingTakeOver current = TakePending(LoadedTas);
            RestorePending(LoadedTas, *pending);
            *pending = std::move(current);
        }
        if (LoadedTas.InputsApplied) {
            Journal.DropPending();
        } else {
            JournalPending();
        }
    }
}

// The run's trace as it now stands, whole or none: a splice of no frames.
void Gyrolog::JournalWholeTrace() {
    RunSplice trace;
    trace.At = LoadedTas.Data.Inputs.size();
    trace.Teleports = LoadedTas.Data.TeleportFrames;
    trace.TraceTail.swap(LoadedTas.Data.Trace); // lent, not copied, to make the payload
    std::string payload = SplicePayload(trace);
    trace.TraceTail.swap(LoadedTas.Data.Trace);
    Journal.Write(JournalRecord::Splice, std::move(payload));
}

// The pending take-over, again, as its recording wrote it.
void Gyrolog::JournalPending() {
    Journal.TakeOver(LoadedTas.CurrentFrame, LoadedTas.NextTeleport);
    for (size_t i = 0; i < LoadedTas.PendingInputs.size(); ++i) {
        Journal.Record(LoadedTas.PendingInputs[i], LoadedTas.PendingTrace[i]);
    }
    for (const uint64_t frame : LoadedTas.PendingTeleportFrames) {
        Journal.Teleport(frame);
    }
    Journal.HandOver();
}

void Gyrolog::UndoReplace() {
    HistoryStep first = History.TakeFirst();
    auto restored = std::move(std::get<std::unique_ptr<ReplacedRun>>(first.Change));
    auto current = std::make_unique<ReplacedRun>();
    SwapLoadedRun(*restored, *current); // the current run leaves with the steps it can redo
    JournalBroughtBack(restored->Journal);
    History.PushUndone(HistoryStep(first.What, std::move(current)));
    PublishHistory();
    LogLine("Undone: " + first.What);
}

void Gyrolog::RedoReplace() {
    HistoryStep step = History.TakeRedo();
    auto restored = std::move(std::get<std::unique_ptr<ReplacedRun>>(step.Change));
    auto current = std::make_unique<ReplacedRun>();
    SwapLoadedRun(*restored, *current);
    JournalBroughtBack(restored->Journal);
    std::deque<HistoryStep> redo = History.TakeUndone();
    History.Push(HistoryStep(step.What, std::move(current)));
    History.AppendUndone(std::move(redo));
    PublishHistory();
    LogLine("Redone: " + step.What);
}

// Puts in in the loaded run's place, with its name, unsaved state, pending
// take-over and history, and moves what was there into out.
void Gyrolog::SwapLoadedRun(ReplacedRun& in, ReplacedRun& out) {
    Stop(); // the incoming run must not keep the old one's speed or pending start
    out.Unsaved = RunUnsaved;
    out.Journal = Journal.Active() ? Journal.Path() : fs::path();
    Journal.End(); // its journal stays on the disk while the run waits here
    out.History = std::move(History);
    History = std::move(in.History);
    {
        std::lock_guard lock(LoadedTasLock); // the run is replaced under the run editor
        out.Pending = TakePending(LoadedTas);
        LoadedTas.ResetRunState();
        // Moves: the arrays change hands, nothing is copied or freed here.
        out.Data = std::move(LoadedTas.Data);
        LoadedTas.Data = std::move(in.Data);
        out.Name = std::move(LoadedTas.Name);
        LoadedTas.Name = std::move(in.Name);
        RestorePending(LoadedTas, in.Pending);
    }
    ++RunGeneration;
    RunUnsaved = in.Unsaved;
    PublishRunCheck(true);
}

// A run brought back by an undo or a redo goes on with the journal it left on
// the disk when it holds unsaved work; otherwise one begun later starts from
// its file.
void Gyrolog::JournalBroughtBack(const fs::path& leftJournal) {
    if (RunUnsaved && !leftJournal.empty()) {
        Journal.Reopen(leftJournal);
        return;
    }
    if (RunUnsaved) {
        RejournalRun(); // its journal failed: the run as it stands
        return;
    }
    const fs::path file = RunFilePath(DataFolder, LoadedTas.Name);
    std::error_code error;
    const bool saved = fs::is_regular_file(file, error);
    std::lock_guard lock(LoadedTasLock);
    SetJournalBase(LoadedTas.Name,
                   saved ? std::optional(TasFile{LoadedTas.Name, file}) : std::nullopt);
}

void Gyrolog::ReplaceLoadedRun(ReplacedRun incoming, const std::string& what) {
    const bool wasLoaded = LoadedTas.Data.Hitbox != HitboxType::Other;
    auto replaced = std::make_unique<ReplacedRun>();
    SwapLoadedRun(incoming, *replaced);
    if (wasLoaded) {
        History.Push(HistoryStep(what, std::move(replaced)));
    }
    PublishHistory();
}

void Gyrolog::PushStep(HistoryStep step) {
    History.Push(std::move(step));
    AfterChange();
}

// A replay begins over a take-over that was never applied.
void Gyrolog::ThrowAwayPending() {
    const std::string what =
        TakeOverName(LoadedTas.PendingInputs.size(), LoadedTas.CurrentFrame) + " thrown away";
    PendingTakeOver pending;
    {
        std::lock_guard lock(LoadedTasLock);
        pending = TakePending(LoadedTas);
    }
    History.Push(HistoryStep(what, std::move(pending)));
    PublishHistory();
}

void Gyrolog::CommitStartsEdit(const StartingState& car, const StartingState& ball, uint64_t run) {
    if (run != RunGeneration) {
        return;
    }
    StartsChange change{car, ball, {}};
    std::string what;
    {
        std::lock_guard lock(LoadedTasLock);
        const bool carEdited = !SameStart(car, LoadedTas.Data.CarStart);
        if (!carEdited && SameStart(ball, LoadedTas.Data.BallStart)) {
            return;
        }
        what = carEdited ? "edit of the car's starting state" : "edit of the ball's starting state";
    }
    MarkUnsaved();
    {
        std::lock_guard lock(LoadedTasLock);
        Journal.Write(JournalRecord::Starts,
                      StartsPayload(LoadedTas.Data.CarStart, LoadedTas.Data.BallStart));
    }
    // The trace was recorded from the starts before the edit: it goes with them.
    change.Trace = std::move(LoadedTas.Data.Trace);
    LoadedTas.Data.Trace.clear();
    DropStaleTrace();
    JournalWholeTrace();
    PushStep(HistoryStep(what, std::move(change)));
}

void Gyrolog::CommitRename(const std::string& oldName, uint64_t run) {
    if (run != RunGeneration) {
        return;
    }
    std::string what;
    {
        std::lock_guard lock(LoadedTasLock);
        if (LoadedTas.Name == oldName) {
            return;
        }
        what = "rename to " + LoadedTas.Name;
        MarkUnsaved();
        Journal.Write(JournalRecord::Name, NamePayload(LoadedTas.Name));
    }
    PushStep(HistoryStep(what, NameChange{oldName}));
}

// After a change the journal holds: the run counts as unsaved.
void Gyrolog::AfterChange() {
    RunUnsaved = true;
    ReportJournalFailures();
    PublishRunCheck(false);
    PublishHistory();
}

// A fresh journal of the run as it stands, its pending take-over included:
// a copy of the whole run, for a run whose journal is gone.
void Gyrolog::RejournalRun() {
    JournalBase base;
    {
        std::lock_guard lock(LoadedTasLock); // the run editor may be changing name and starts
        base.Name = LoadedTas.Name;
        base.Frames = LoadedTas.Data.Inputs.size();
        base.Record = BaseRecord(base.Name, LoadedTas.Data);
    }
    Journal.Begin(NewJournalPath(), base);
    if (!LoadedTas.InputsApplied) {
        JournalPending();
    }
    ReportJournalFailures();
}

void Gyrolog::PublishHistory() {
    std::string undo;
    if (!LoadedTas.InputsApplied) {
        undo = TakeOverName(LoadedTas.PendingInputs.size(), LoadedTas.CurrentFrame);
    } else if (const HistoryStep* step = History.ToUndo()) {
        undo = step->What;
    }
    std::string redo;
    if (const HistoryStep* step = History.ToRedo();
        step &&
        (LoadedTas.InputsApplied || std::holds_alternative<PendingTakeOver>(step->Change))) {
        redo = step->What;
    }
    std::lock_guard lock(LoadedTasLock);
    UndoText = std::move(undo);
    RedoText = std::move(redo);
}
