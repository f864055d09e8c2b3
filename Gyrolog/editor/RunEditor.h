#pragma once

#include "ToastKind.h"
#include "runs/edits/FrameEdits.h"
#include "runs/edits/RunHistory.h"
#include "runs/edits/RunSplice.h"
#include "runs/files/FileWorker.h"
#include "runs/files/TasFile.h"
#include "runs/files/TraceSaver.h"
#include "runs/record/Tas.h"
#include "runs/recovery/RecoveryWriter.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What the run editor needs of the plugin around it.
struct RunEditorHost {
    virtual void Log(const std::string& text) = 0;
    virtual void Toast(const std::string& text, ToastKind kind) = 0;
    // Ends a replay or recording, at normal speed.
    virtual void StopRun() = 0;
    // The run's frames or trace changed; newRun: another run is loaded.
    virtual void PublishRunCheck(bool newRun) = 0;
    // The page changed a starting state: the trace recorded from the old
    // one no longer checks replays.
    virtual void DropStaleTrace() = 0;
    // Before the run's frames, trace or starts change, or its arrays are
    // lent: nothing is copying them then.
    virtual void BeforeRunChanges() = 0;

protected:
    ~RunEditorHost() = default;
};

// The changes to the loaded run that are not the run engine's ticks: its
// history (undo and redo), frame edits, the page's renames and starting-state
// edits, the replacement of the run by another, and the journal that keeps
// its unsaved work for recovery. Touched on the game thread only; what the
// page reads of it is published under the run's lock.
class RunEditor {
public:
    RunEditor(Tas& run, std::mutex& runLock, RunEditorHost& host);

    // The run folder, set at load before the journal's thread starts.
    void SetDataFolder(const std::filesystem::path& folder) { DataFolder = folder; }
    std::filesystem::path RecoveryFolder() const { return DataFolder / "recovery"; }
    void StartJournal() { Journal.Start(); }
    // At unload: the journal is written whole and kept.
    void KeepForRecovery();
    // On the tick, cheaply: says a journal that cannot be written, once, and
    // journals the run anew when its base file changed before it was read.
    void CheckJournal();
    // Before a run file is replaced or removed: the writer is done reading
    // a base from it and holds no run file open.
    // Also before one is listed or read: a grown trace on its way beside its
    // run file is in place then.
    void BeforeRunFileChanges();

    // The run engine's recording, journaled as it goes.
    void TakeOverBegins();
    void Record(const VehicleInput& input, const TraceEntry& trace) {
        Journal.Record(input, trace);
    }
    // A keyframe of a frame just recorded, after that frame's Record.
    void RecordKeyframe(const Keyframe& keyframe) { Journal.RecordKeyframe(keyframe); }
    void Teleport(uint64_t frame) { Journal.Teleport(frame); }
    void RunStopped();
    // A replay grew the run's trace, which is the run's from now on: the next
    // save writes it. When the run is exactly its file, it is written beside
    // that file now, off the game thread.
    void TraceGrown();
    // A replay begins over a take-over that was never applied.
    void ThrowAwayPending();
    // Merges a stopped run's pending take-over: one step.
    void Update();

    void Undo();
    void Redo();

    // Frame edits, from the console or the page; refused while the run plays,
    // records or waits for Update.
    bool FrameEditRefused();
    void EditFrames(RunSplice change, const std::string& what);
    void EditFromPage(const std::function<FrameEdit(const TasData&)>& make);
    void SetInputCommand(const std::vector<std::string>& args);
    void InsertFramesCommand(const std::vector<std::string>& args);
    void DeleteFramesCommand(const std::vector<std::string>& args);
    // Markers are edits of the run too: one step each, journaled as splices.
    void MarkerCommand(const std::vector<std::string>& args);
    void UnmarkerCommand(const std::vector<std::string>& args);

    // The page's edits, made in place under the run's lock, as steps; run is
    // the Generation the page saw, so an edit is not recorded on another run.
    void CommitStartsEdit(const StartingState& car, const StartingState& ball, uint64_t run);
    void CommitRename(const std::string& oldName, uint64_t run);

    // Puts another version of the run in its place as one step; what
    // follows the page's rule for frame edits is the caller's to check.
    void ReplaceVersion(VersionChange version, const std::string& what);
    // Puts incoming in the loaded run's place as one step of the history.
    void ReplaceLoadedRun(ReplacedRun incoming, const std::string& what);
    // What a journal begun from now on starts from: the file the run is
    // loaded from or saved to, or the run as it stands.
    void SetJournalBase(const std::string& name, const std::optional<TasFile>& file);
    // The run goes on with a journal found at load.
    void ResumeJournal(const std::filesystem::path& journal, uint64_t validBytes);
    // A fresh journal of the run as it stands, its pending take-over included.
    void RejournalRun();
    // The run was written to its file under name.
    void RunSaved(const std::string& name);

    bool Unsaved() const { return RunUnsaved; }
    uint64_t Generation() const { return RunGeneration; }
    const RunHistory& History() const { return Steps; }
    // What Undo and Redo would do, empty when nothing; read under the run's lock.
    const std::string& UndoText() const { return UndoLine; }
    const std::string& RedoText() const { return RedoLine; }

private:
    bool RefusedWhileRunning();
    void ApplyStep(HistoryStep& step);
    void UndoReplace();
    void RedoReplace();
    void SwapLoadedRun(ReplacedRun& in, ReplacedRun& out);
    void JournalBroughtBack(const std::filesystem::path& leftJournal);
    void PushStep(HistoryStep step);
    void AfterChange();
    void MarkUnsaved();
    void ReportJournalFailures();
    void ReportTraceSaves();
    void CopyGrownTraceSlice();
    void FinishTraceWrites();
    void JournalWholeTrace();
    void JournalPending();
    void PublishHistory();
    void DropRedoneAfterTakeOver();
    std::filesystem::path NewJournalPath() const;

    Tas& Run;
    std::mutex& RunLock;
    RunEditorHost& Host;
    std::filesystem::path DataFolder;
    RecoveryWriter Journal;
    FileWorker TraceSaves; // writes the traces replays grew
    // A grown trace being copied for its write beside the run file, a slice
    // a tick, so that no tick copies an hour of it. A change to the run's
    // frames or trace drops it; a take-over recorded meanwhile changes
    // neither.
    struct TraceCopy {
        std::filesystem::path RunFile;
        std::string Name;
        uint64_t Frames = 0;
        size_t Entries = 0; // of the trace when the replay ended
        size_t KeyframeCount = 0;
        std::vector<TraceEntry> Trace;
        std::vector<Keyframe> Keyframes;
    };
    std::optional<TraceCopy> GrownTraceCopy;
    JournalBase NextJournalBase; // what a journal begun now starts from
    // Set when work begins that no file holds, cleared when the run is saved
    // or replaced by a run a file holds.
    bool RunUnsaved = false;
    // A run was put in place of the empty one the plugin starts with: from
    // then on every replacement is a step.
    bool RunPutIn = false;
    // A take-over was recorded since the run last stopped: a new change, after
    // which the undone steps cannot be redone.
    bool TakeOverRecorded = false;
    RunHistory Steps;
    // Counts the runs loaded: a page edit made on one run is not recorded on
    // the next.
    std::atomic<uint64_t> RunGeneration = 0;
    // Published under RunLock.
    std::string UndoLine;
    std::string RedoLine;
};
