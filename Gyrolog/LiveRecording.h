#pragma once

#include "runs/record/RunTrace.h"
#include "runs/record/VehicleInput.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The newest frames of a recording in progress, for the settings page, which
// may not read the run engine's own records while the tick appends to them.
// The game thread adds each frame as it records it; the page copies the few
// it shows. Each side holds the lock only to copy a frame or a few hundred.
class LiveRecording {
public:
    static constexpr uint64_t Capacity = 2048; // about 17 s of game time

    LiveRecording();

    // Game thread: a take-over at frame from, before anything is recorded.
    void Begin(uint64_t from);
    void Add(const VehicleInput& input, const TraceEntry& trace);
    void Teleport(uint64_t frame); // an absolute frame of the merged run

    struct Copy {
        uint64_t From = 0;     // the take-over frame
        uint64_t Recorded = 0; // frames recorded since
        uint64_t First = 0;    // the first recorded frame copied, counted from From
        std::vector<VehicleInput> Inputs;
        std::vector<TraceEntry> Trace;
        std::vector<uint64_t> Teleports; // absolute frames, ascending

        // The input and trace of recorded frame k (from From), or nullptr
        // where the copy does not hold it.
        const VehicleInput* InputOf(uint64_t k) const;
        const TraceEntry* TraceOf(uint64_t k) const;
    };
    // Where the recording stands, copying no frame.
    Copy Status() const;
    // Status, and up to count recorded frames from first on, as far as they
    // are still held: only the newest Capacity are.
    void CopyFrames(uint64_t first, uint64_t count, Copy& out) const;

private:
    mutable std::mutex Lock;
    std::unique_ptr<VehicleInput[]> Inputs; // ring: frame k at k % Capacity
    std::unique_ptr<TraceEntry[]> Trace;
    std::vector<uint64_t> Teleports;
    uint64_t From = 0;
    uint64_t Recorded = 0;
};
