#include "runs/edits/RunSplice.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

size_t MarkersBytes(const std::vector<Marker>& markers) {
    size_t bytes = markers.size() * sizeof(Marker);
    for (const Marker& marker : markers) {
        bytes += marker.Text.size();
    }
    return bytes;
}

size_t RunSplice::Bytes() const {
    return sizeof(RunSplice) + Inputs.size() * sizeof(VehicleInput) +
           Teleports.size() * sizeof(uint64_t) + MarkersBytes(Markers) +
           TraceTail.size() * sizeof(TraceEntry) + KeyframesTail.size() * sizeof(Keyframe);
}

namespace {

// Replaces count elements from at with replacement; replacement then holds
// the elements it replaced.
template <typename T>
void SwapRange(std::vector<T>& values, size_t at, size_t count, std::vector<T>& replacement) {
    const auto first = values.begin() + static_cast<std::ptrdiff_t>(at);
    const auto last = first + static_cast<std::ptrdiff_t>(count);
    std::vector<T> replaced(first, last);
    const size_t common = std::min(count, replacement.size());
    std::copy_n(replacement.begin(), common, first);
    if (replacement.size() > count) {
        values.insert(last, replacement.begin() + static_cast<std::ptrdiff_t>(common),
                      replacement.end());
    } else {
        values.erase(first + static_cast<std::ptrdiff_t>(common), last);
    }
    replacement = std::move(replaced);
}

} // namespace

void ApplySplice(TasData& run, RunSplice& splice) {
    if (splice.At > run.Inputs.size() || splice.Removed > run.Inputs.size() - splice.At) {
        throw std::out_of_range("the change does not fit the run's " +
                                std::to_string(run.Inputs.size()) + " frames");
    }
    const uint64_t inserted = splice.Inputs.size();
    SwapRange(run.Inputs, static_cast<size_t>(splice.At), static_cast<size_t>(splice.Removed),
              splice.Inputs);
    splice.Removed = inserted;
    run.TeleportFrames.swap(splice.Teleports);
    run.Markers.swap(splice.Markers);
    if (splice.TraceAt > run.Trace.size()) {
        // The trace was cut before TraceAt since (dropped with a starting
        // state, say): a tail from TraceAt on would follow untraced frames.
        splice.TraceTail.clear();
        splice.TraceTail.shrink_to_fit();
        splice.KeyframesTail.clear();
        splice.KeyframesTail.shrink_to_fit();
        return;
    }
    const auto kept = static_cast<size_t>(splice.TraceAt);
    SwapRange(run.Trace, kept, run.Trace.size() - kept, splice.TraceTail);
    const auto firstKept = static_cast<size_t>(
        std::lower_bound(
            run.Keyframes.begin(), run.Keyframes.end(), splice.TraceAt,
            [](const Keyframe& keyframe, uint64_t at) { return keyframe.Frame < at; }) -
        run.Keyframes.begin());
    SwapRange(run.Keyframes, firstKept, run.Keyframes.size() - firstKept, splice.KeyframesTail);
}

namespace {

// Where a frame goes when Removed frames from At are replaced by Inserted
// frames; nothing when it was one of the removed.
std::optional<uint64_t> MovedFrame(uint64_t frame, uint64_t at, uint64_t removed,
                                   uint64_t inserted) {
    if (frame < at) {
        return frame;
    }
    if (frame >= at + removed) {
        return frame - removed + inserted;
    }
    return std::nullopt;
}

} // namespace

std::vector<uint64_t> MovedTeleports(const std::vector<uint64_t>& teleports, uint64_t at,
                                     uint64_t removed, uint64_t inserted) {
    std::vector<uint64_t> moved;
    moved.reserve(teleports.size());
    for (const uint64_t frame : teleports) {
        if (const auto to = MovedFrame(frame, at, removed, inserted)) {
            moved.push_back(*to);
        }
    }
    return moved;
}

std::vector<Marker> MovedMarkers(const std::vector<Marker>& markers, uint64_t at, uint64_t removed,
                                 uint64_t inserted) {
    std::vector<Marker> moved;
    moved.reserve(markers.size());
    for (const Marker& marker : markers) {
        if (const auto to = MovedFrame(marker.Frame, at, removed, inserted)) {
            moved.push_back({*to, marker.Text});
        }
    }
    return moved;
}
