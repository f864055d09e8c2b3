#include "LiveRecording.h"

#include <algorithm>

LiveRecording::LiveRecording()
    : Inputs(std::make_unique<VehicleInput[]>(Capacity)),
      Trace(std::make_unique<TraceEntry[]>(Capacity)) {
    Teleports.reserve(64);
}

void LiveRecording::Begin(uint64_t from) {
    std::lock_guard lock(Lock);
    From = from;
    Recorded = 0;
    Teleports.clear();
}

void LiveRecording::Add(const VehicleInput& input, const TraceEntry& trace) {
    std::lock_guard lock(Lock);
    Inputs[Recorded % Capacity] = input;
    Trace[Recorded % Capacity] = trace;
    ++Recorded;
}

void LiveRecording::Teleport(uint64_t frame) {
    std::lock_guard lock(Lock);
    // Only those of the frames held are of use: the rest make no room.
    const uint64_t oldest = From + (Recorded > Capacity ? Recorded - Capacity : 0);
    std::erase_if(Teleports, [&](uint64_t at) { return at < oldest; });
    if (Teleports.size() < Teleports.capacity()) {
        Teleports.push_back(frame);
    }
}

LiveRecording::Copy LiveRecording::Status() const {
    std::lock_guard lock(Lock);
    Copy status;
    status.From = From;
    status.Recorded = Recorded;
    return status;
}

void LiveRecording::CopyFrames(uint64_t first, uint64_t count, Copy& out) const {
    std::lock_guard lock(Lock);
    out.From = From;
    out.Recorded = Recorded;
    const uint64_t oldest = Recorded > Capacity ? Recorded - Capacity : 0;
    out.First = std::clamp(first, oldest, Recorded);
    const uint64_t end = std::min(Recorded, out.First + count);
    out.Inputs.clear();
    out.Trace.clear();
    for (uint64_t k = out.First; k < end; ++k) {
        out.Inputs.push_back(Inputs[k % Capacity]);
        out.Trace.push_back(Trace[k % Capacity]);
    }
    out.Teleports = Teleports;
}

const VehicleInput* LiveRecording::Copy::InputOf(uint64_t k) const {
    return k >= First && k - First < Inputs.size() ? &Inputs[k - First] : nullptr;
}

const TraceEntry* LiveRecording::Copy::TraceOf(uint64_t k) const {
    return k >= First && k - First < Trace.size() ? &Trace[k - First] : nullptr;
}
