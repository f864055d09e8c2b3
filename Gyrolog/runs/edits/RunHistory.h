#pragma once

#include "runs/edits/RunSplice.h"
#include "runs/record/Tas.h"

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

// A stopped run's take-over, recorded and not applied, as it was left.
struct PendingTakeOver {
    ChunkedVector<VehicleInput> Inputs;
    std::vector<uint64_t> Teleports;
    ChunkedVector<TraceEntry> Trace;
    ChunkedVector<Keyframe> Keyframes; // absolute frames of the merged run
    uint64_t Frame = 0;                // the take-over frame
    uint64_t NextTeleport = 0;
    bool RecordedFromOtherStart = false;
    bool Active = false; // a take-over of no frames yet still replaces the tail

    size_t Bytes() const;
};

// Moves the run's pending take-over out, leaving its inputs applied.
PendingTakeOver TakePending(Tas& run);
// Makes pending the run's take-over again, stopped and ready for Update.
void RestorePending(Tas& run, PendingTakeOver& pending);
// The undo of merging the run's pending take-over: what the merge replaces.
RunSplice MergeUndo(const Tas& run);
// "take-over of 110 frames at frame 240"
std::string TakeOverName(uint64_t frames, uint64_t frame);

// A starting-state edit: the starts before it and the trace it dropped,
// which was recorded from them, with its keyframes.
struct StartsChange {
    StartingState Car;
    StartingState Ball;
    std::vector<TraceEntry> Trace;
    std::vector<Keyframe> Keyframes;
};

struct NameChange {
    std::string Name;
};

// Another version of the run in its place (a branch loaded): all its frames,
// teleports, markers and trace, and the starts they were recorded from.
struct VersionChange {
    RunSplice Frames; // of the whole run, trace from frame 0
    StartingState Car;
    StartingState Ball;
};

struct ReplacedRun;

// One change to the loaded run. What it holds is what the change replaced
// (before an undo) or what the undo replaced (before a redo): applying a
// step swaps it with the run's own.
struct HistoryStep {
    std::string What; // "update at frame 240, 110 frames replaced by 96"
    std::variant<RunSplice, StartsChange, NameChange, PendingTakeOver, VersionChange,
                 std::unique_ptr<ReplacedRun>>
        Change;

    HistoryStep(std::string what, decltype(Change) change);
    HistoryStep(HistoryStep&&) noexcept;
    HistoryStep& operator=(HistoryStep&&) noexcept;
    ~HistoryStep();

    size_t Bytes() const;
};

// The changes to one loaded run, oldest first, with the ones undone after
// the ones done. Touched only on the game thread.
class RunHistory {
public:
    static constexpr size_t MaxSteps = 100;
    static constexpr size_t MaxBytes = size_t{256} << 20;

    // A new change: the undone steps go, then the oldest beyond the limits.
    void Push(HistoryStep step);
    // The step an undo or a redo applies, or nullptr.
    HistoryStep* ToUndo();
    HistoryStep* ToRedo();
    // After the step ToUndo or ToRedo gave was applied.
    void Undone() { --Done; }
    void Redone() { ++Done; }
    // Puts a step first among the undone ones, keeping those there.
    void InsertUndone(HistoryStep step);
    // The undone steps, first to redo first, leaving none.
    std::deque<HistoryStep> TakeUndone();
    // Steps to redo again, after the undone ones.
    void AppendUndone(std::deque<HistoryStep> steps);
    void AppendUndone(HistoryStep step);
    // Removes and returns the step ToRedo gives; the history keeps the
    // steps before it.
    HistoryStep TakeRedo();
    // Removes the first step, which ToUndo gives when one step is done.
    HistoryStep TakeFirst();

    size_t Size() const;
    size_t Bytes() const;
    // What the steps dropped beyond the limits did, since the last call.
    std::vector<std::string> TakeForgotten();

private:
    void DropOldestBeyondLimits();

    std::deque<HistoryStep> Steps;
    std::vector<std::string> Forgotten;
    size_t Done = 0; // Steps[0, Done) are done, the rest undone
};

// A run that New TAS, a load or a recovery replaced, with all it had.
struct ReplacedRun {
    TasData Data;
    std::string Name;
    bool Unsaved = false;
    PendingTakeOver Pending;
    RunHistory History;
    std::filesystem::path Journal; // its journal, kept on the disk meanwhile

    size_t Bytes() const;
};
