#pragma once

#include "runs/record/Tas.h"

#include <cstdint>
#include <string>
#include <vector>

// A change to a run's frames: the Removed frames from At on become Inputs,
// the teleport frames become Teleports, the markers Markers, and the trace
// from TraceAt on becomes TraceTail, its keyframes from TraceAt on
// KeyframesTail (the trace before TraceAt stays; one that ends before
// TraceAt stays as it is, and both tails go). The run's trace is taken whole
// from TraceAt on, also what a replay appended since the splice was made: a
// redo brings it back with the frames it describes. Applying a splice turns
// it into its own inverse, so one value is both the undo and the redo of a
// change, and it holds only what the change replaced.
struct RunSplice {
    uint64_t At = 0;
    uint64_t Removed = 0;
    std::vector<VehicleInput> Inputs;
    std::vector<uint64_t> Teleports;
    std::vector<Marker> Markers;
    uint64_t TraceAt = 0;
    std::vector<TraceEntry> TraceTail;
    std::vector<Keyframe> KeyframesTail; // ascending, in TraceAt..TraceAt+TraceTail.size()

    // Bytes held, for the history's memory limit.
    size_t Bytes() const;
};

// Bytes the markers hold, their texts with them.
size_t MarkersBytes(const std::vector<Marker>& markers);

// Applies the splice to the run and leaves in it what it replaced. A splice
// that does not fit the run (At past its end, Removed past its end) throws
// std::out_of_range and changes nothing.
void ApplySplice(TasData& run, RunSplice& splice);

// The teleport frames after Removed frames from At were replaced by Inserted
// frames: the ones after the range move with their frames, one inside a
// removed range goes with it.
std::vector<uint64_t> MovedTeleports(const std::vector<uint64_t>& teleports, uint64_t at,
                                     uint64_t removed, uint64_t inserted);

// The markers after the same change, by the same rule as MovedTeleports.
std::vector<Marker> MovedMarkers(const std::vector<Marker>& markers, uint64_t at, uint64_t removed,
                                 uint64_t inserted);
