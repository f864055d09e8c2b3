#include "runs/record/Tas.h"

#include <algorithm>
#include <utility>

TasData::TasData(TasData&& other) noexcept {
    *this = std::move(other);
}

TasData& TasData::operator=(TasData&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    Inputs.clear();
    Inputs.shrink_to_fit();
    TeleportFrames.clear();
    TeleportFrames.shrink_to_fit();
    Trace.clear();
    Trace.shrink_to_fit();
    Keyframes.clear();
    Keyframes.shrink_to_fit();
    Markers.clear();
    Markers.shrink_to_fit();
    Inputs.swap(other.Inputs);
    TeleportFrames.swap(other.TeleportFrames);
    Trace.swap(other.Trace);
    Keyframes.swap(other.Keyframes);
    Markers.swap(other.Markers);
    CarStart = other.CarStart;
    BallStart = other.BallStart;
    Hitbox = other.Hitbox;
    AirSensitivity = other.AirSensitivity;
    SteerSensitivity = other.SteerSensitivity;
    TraceStale = other.TraceStale.load();
    return *this;
}

void Tas::Reset() {
    Data = TasData();
    ResetRunState();
}

void Tas::ResetRunState() {
    PendingInputs.clear();
    PendingTeleportFrames.clear();
    PendingTrace.clear();
    PendingKeyframes.clear();
    HeldTrace.clear();
    RecordedFromOtherStart = false;
    CurrentFrame = 0;
    NextTeleport = 0;
    RerecordFrame.reset();
    PlayFrom.reset();
    PlacedAt = 0;
    QuickSeeking = false;
    Placing = false;
    TraceGrowing = false;
    TraceGrew = false;
    State = TasState::Stopped;
    InputsApplied = true;
}

void Tas::MergePending() {
    MergePendingTrace();
    auto& inputs = Data.Inputs;
    inputs.reserve(static_cast<size_t>(CurrentFrame) + PendingInputs.size());
    inputs.resize(static_cast<size_t>(CurrentFrame));
    PendingInputs.AppendTo(inputs);
    PendingInputs.clear();
    DropMarkersPastTheEnd();

    // Keep the teleports before the take-over frame, and one at that frame
    // only if the replay had consumed it: a replay holding at a teleport
    // frame has not seen that teleport, and the new recording notes its own.
    auto& teleports = Data.TeleportFrames;
    size_t kept = 0;
    while (kept < teleports.size() && (teleports[kept] < CurrentFrame ||
                                       (teleports[kept] == CurrentFrame && kept < NextTeleport))) {
        ++kept;
    }
    teleports.resize(kept);
    teleports.reserve(teleports.size() + PendingTeleportFrames.size());
    teleports.insert(teleports.end(), PendingTeleportFrames.begin(), PendingTeleportFrames.end());
    PendingTeleportFrames.clear();
    InputsApplied = true;
}

void Tas::DropMarkersPastTheEnd() {
    auto& markers = Data.Markers;
    const auto past = std::find_if(markers.begin(), markers.end(), [&](const Marker& marker) {
        return marker.Frame >= Data.Inputs.size();
    });
    markers.erase(past, markers.end());
}

void Tas::MergePendingTrace() {
    // The trace follows the inputs where it covers every frame before the
    // take-over. Otherwise what it covers before the take-over stays, as
    // those frames do; the rest follows frames nobody traced and goes.
    auto& trace = Data.Trace;
    const size_t keep = TraceKeptByMerge();
    auto& keyframes = Data.Keyframes;
    CutKeyframes(keyframes, keep);
    if (PendingTraceCovers()) {
        trace.reserve(keep + PendingTrace.size());
        trace.resize(keep);
        PendingTrace.AppendTo(trace);
        PendingKeyframes.AppendTo(keyframes);
    } else {
        trace.resize(keep);
        if (keep == 0) {
            trace.shrink_to_fit();
            keyframes.shrink_to_fit();
        }
    }
    PendingTrace.clear();
    PendingKeyframes.clear();
}

void Tas::PendHeldTicks(const VehicleInput& held) {
    for (const TraceEntry& entry : HeldTrace) {
        PendingInputs.push_back(held);
        PendingTrace.push_back(entry);
    }
    HeldTrace.clear();
}

void Tas::DropTrace() {
    Data.Trace.clear();
    Data.Trace.shrink_to_fit();
    Data.Keyframes.clear();
    Data.Keyframes.shrink_to_fit();
    RecordedFromOtherStart = true;
}

bool Tas::PendingTraceCovers() const {
    const auto kept = static_cast<size_t>(CurrentFrame);
    return TraceStillValid() && (Data.HasTrace() || kept == 0) && Data.Trace.size() >= kept &&
           PendingTrace.size() == PendingInputs.size();
}

size_t Tas::TraceKeptByMerge() const {
    const auto kept = static_cast<size_t>(CurrentFrame);
    if (PendingTraceCovers()) {
        return kept;
    }
    return TraceStillValid() && Data.HasTrace() ? std::min(Data.Trace.size(), kept) : 0;
}

bool Tas::TraceStillValid() const {
    return !RecordedFromOtherStart && !Data.TraceStale;
}
