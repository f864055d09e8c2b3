#include "runs/edits/RunHistory.h"

#include <algorithm>
#include <utility>

size_t PendingTakeOver::Bytes() const {
    return Inputs.size() * sizeof(VehicleInput) + Teleports.size() * sizeof(uint64_t) +
           Trace.size() * sizeof(TraceEntry) + Keyframes.size() * sizeof(Keyframe);
}

PendingTakeOver TakePending(Tas& run) {
    PendingTakeOver pending;
    pending.Inputs = std::move(run.PendingInputs);
    pending.Teleports = std::move(run.PendingTeleportFrames);
    run.PendingTeleportFrames.clear();
    pending.Trace = std::move(run.PendingTrace);
    pending.Keyframes = std::move(run.PendingKeyframes);
    pending.Frame = run.CurrentFrame;
    pending.NextTeleport = run.NextTeleport;
    pending.RecordedFromOtherStart = run.RecordedFromOtherStart;
    pending.Active = !run.InputsApplied;
    run.HeldTrace.clear();
    run.InputsApplied = true;
    return pending;
}

void RestorePending(Tas& run, PendingTakeOver& pending) {
    run.PendingInputs = std::move(pending.Inputs);
    run.PendingTeleportFrames = std::move(pending.Teleports);
    pending.Teleports.clear();
    run.PendingTrace = std::move(pending.Trace);
    run.PendingKeyframes = std::move(pending.Keyframes);
    run.CurrentFrame = pending.Frame;
    run.NextTeleport = pending.NextTeleport;
    run.RecordedFromOtherStart = pending.RecordedFromOtherStart;
    run.HeldTrace.clear();
    run.InputsApplied = !pending.Active;
    pending.Active = false;
}

RunSplice MergeUndo(const Tas& run) {
    const TasData& data = run.Data;
    const auto at = static_cast<size_t>(std::min<uint64_t>(run.CurrentFrame, data.Inputs.size()));
    RunSplice undo;
    undo.At = at;
    undo.Removed = run.PendingInputs.size();
    undo.Inputs.assign(data.Inputs.begin() + static_cast<std::ptrdiff_t>(at), data.Inputs.end());
    undo.Teleports = data.TeleportFrames;
    undo.Markers = data.Markers;
    undo.TraceAt = run.TraceKeptByMerge();
    undo.TraceTail.assign(data.Trace.begin() + static_cast<std::ptrdiff_t>(undo.TraceAt),
                          data.Trace.end());
    for (const Keyframe& keyframe : data.Keyframes) {
        if (keyframe.Frame >= undo.TraceAt) {
            undo.KeyframesTail.push_back(keyframe);
        }
    }
    return undo;
}

std::string TakeOverName(uint64_t frames, uint64_t frame) {
    return "take-over of " + std::to_string(frames) + " frames at frame " + std::to_string(frame);
}

HistoryStep::HistoryStep(std::string what, decltype(Change) change)
    : What(std::move(what)), Change(std::move(change)) {}
HistoryStep::HistoryStep(HistoryStep&&) noexcept = default;
HistoryStep& HistoryStep::operator=(HistoryStep&&) noexcept = default;
HistoryStep::~HistoryStep() = default;

size_t HistoryStep::Bytes() const {
    struct Sizes {
        size_t operator()(const RunSplice& splice) const { return splice.Bytes(); }
        size_t operator()(const StartsChange& starts) const {
            return sizeof starts + starts.Trace.size() * sizeof(TraceEntry) +
                   starts.Keyframes.size() * sizeof(Keyframe);
        }
        size_t operator()(const NameChange& name) const { return sizeof name + name.Name.size(); }
        size_t operator()(const PendingTakeOver& pending) const { return pending.Bytes(); }
        size_t operator()(const VersionChange& version) const {
            return sizeof version + version.Frames.Bytes();
        }
        size_t operator()(const std::unique_ptr<ReplacedRun>& run) const { return run->Bytes(); }
    };
    return sizeof(HistoryStep) + What.size() + std::visit(Sizes{}, Change);
}

void RunHistory::Push(HistoryStep step) {
    Steps.erase(Steps.begin() + static_cast<std::ptrdiff_t>(Done), Steps.end());
    Steps.push_back(std::move(step));
    Done = Steps.size();
    DropOldestBeyondLimits();
}

HistoryStep* RunHistory::ToUndo() {
    return Done > 0 ? &Steps[Done - 1] : nullptr;
}

HistoryStep* RunHistory::ToRedo() {
    return Done < Steps.size() ? &Steps[Done] : nullptr;
}

void RunHistory::InsertUndone(HistoryStep step) {
    Steps.insert(Steps.begin() + static_cast<std::ptrdiff_t>(Done), std::move(step));
    DropOldestBeyondLimits();
}

std::deque<HistoryStep> RunHistory::TakeUndone() {
    std::deque<HistoryStep> undone;
    while (Steps.size() > Done) {
        undone.push_front(std::move(Steps.back()));
        Steps.pop_back();
    }
    return undone;
}

void RunHistory::AppendUndone(std::deque<HistoryStep> steps) {
    for (HistoryStep& step : steps) {
        Steps.push_back(std::move(step));
    }
    DropOldestBeyondLimits();
}

void RunHistory::AppendUndone(HistoryStep step) {
    Steps.push_back(std::move(step));
    DropOldestBeyondLimits();
}

HistoryStep RunHistory::TakeRedo() {
    HistoryStep step = std::move(Steps[Done]);
    Steps.erase(Steps.begin() + static_cast<std::ptrdiff_t>(Done));
    return step;
}

HistoryStep RunHistory::TakeFirst() {
    HistoryStep step = std::move(Steps.front());
    Steps.pop_front();
    if (Done > 0) {
        --Done;
    }
    return step;
}

size_t RunHistory::Size() const {
    size_t size = Steps.size();
    for (const HistoryStep& step : Steps) {
        if (const auto* run = std::get_if<std::unique_ptr<ReplacedRun>>(&step.Change)) {
            size += (*run)->History.Size();
        }
    }
    return size;
}

size_t RunHistory::Bytes() const {
    size_t bytes = 0;
    for (const HistoryStep& step : Steps) {
        bytes += step.Bytes();
    }
    return bytes;
}

std::vector<std::string> RunHistory::TakeForgotten() {
    return std::exchange(Forgotten, {});
}

void RunHistory::DropOldestBeyondLimits() {
    while (!Steps.empty() && (Size() > MaxSteps || Bytes() > MaxBytes)) {
        Forgotten.push_back(std::move(Steps.front().What));
        Steps.pop_front();
        if (Done > 0) {
            --Done;
        }
    }
}

size_t ReplacedRun::Bytes() const {
    return sizeof(ReplacedRun) + Name.size() + Data.Inputs.size() * sizeof(VehicleInput) +
           Data.TeleportFrames.size() * sizeof(uint64_t) + Data.Trace.size() * sizeof(TraceEntry) +
           Data.Keyframes.size() * sizeof(Keyframe) + MarkersBytes(Data.Markers) + Pending.Bytes() +
           History.Bytes();
}
