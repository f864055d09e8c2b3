#include "RunTick.h"

#include <algorithm>

namespace {

bool Touched(float value) {
    return value != 0.0f;
}

bool Touched(uint32_t flags, uint32_t mask) {
    return (flags & mask) != 0;
}

} // namespace

bool TouchesWatched(const VehicleInput& live, const WatchedControls& watched) {
    return (watched.Throttle && Touched(live.Throttle)) ||
           (watched.Steer && (Touched(live.Steer) || Touched(live.Pitch) || Touched(live.Yaw))) ||
           (watched.AirRoll && Touched(live.Roll)) ||
           (watched.Handbrake && Touched(live.Flags, VehicleInputFlag::Handbrake)) ||
           (watched.Jump &&
            (Touched(live.FlipForward) || Touched(live.FlipSideways) ||
             Touched(live.Flags, VehicleInputFlag::Jump | VehicleInputFlag::JumpHeld))) ||
           (watched.Boost &&
            Touched(live.Flags, VehicleInputFlag::ActivateBoost | VehicleInputFlag::BoostHeld));
}

const VehicleInput* HeldInput(const Tas& run) {
    const auto& teleports = run.Data.TeleportFrames;
    if (run.NextTeleport < teleports.size() && run.CurrentFrame >= teleports[run.NextTeleport] &&
        teleports[run.NextTeleport] < run.Data.Inputs.size()) {
        return &run.Data.Inputs[teleports[run.NextTeleport]];
    }
    return nullptr;
}

bool RerecordFrameReached(const Tas& run) {
    return run.RerecordFrame && run.CurrentFrame >= *run.RerecordFrame && !HeldInput(run);
}

void StepToTeleportFrame(Tas& run, bool cooling) {
    const auto& teleports = run.Data.TeleportFrames;
    run.HeldTrace.clear(); // a hold it releases is no part of the run
    if (cooling) {
        if (run.NextTeleport >= 1 && run.NextTeleport - 1 < teleports.size()) {
            run.CurrentFrame = teleports[run.NextTeleport - 1];
        }
    } else if (run.NextTeleport < teleports.size()) {
        run.CurrentFrame = teleports[run.NextTeleport];
        ++run.NextTeleport;
    }
    run.LiveFrame = run.CurrentFrame;
}

GameSpeedMode ToggledSpeed(GameSpeedMode current, bool rerecording) {
    switch (current) {
    case GameSpeedMode::Replay:
    case GameSpeedMode::Seek:
        return GameSpeedMode::Record;
    case GameSpeedMode::Record:
        return rerecording ? GameSpeedMode::Seek : GameSpeedMode::Replay;
    case GameSpeedMode::None:
        break;
    }
    return current;
}

const Keyframe* QuickSeekKeyframe(const TasData& run, uint64_t frame) {
    if (!run.HasTrace()) {
        return nullptr;
    }
    return KeyframeAtOrBefore(run.Keyframes, frame);
}

uint64_t NextTeleportAfterPlacing(const std::vector<uint64_t>& teleports, uint64_t frame) {
    if (frame == 0) {
        return 0; // a start: a teleport at frame 0 is still to come
    }
    return static_cast<uint64_t>(std::upper_bound(teleports.begin(), teleports.end(), frame) -
                                 teleports.begin());
}

bool ContinuesTrace(const Tas& run) {
    return run.CurrentFrame == run.Data.Trace.size() && run.CurrentFrame < run.Data.Inputs.size();
}

bool RecordsKeyframe(const Tas& run) {
    const uint64_t frame = run.CurrentFrame + run.PendingInputs.size();
    return frame % KeyframeInterval == 0 ||
           (!run.PendingTeleportFrames.empty() && run.PendingTeleportFrames.back() == frame);
}

void BeginTraceGrowth(Tas& run) {
    auto& data = run.Data;
    run.TraceGrew = false;
    run.TraceGrowing =
        run.PlacedAt == 0 && run.TraceStillValid() && data.Trace.size() < data.Inputs.size();
    if (run.TraceGrowing) {
        data.Trace.reserve(data.Inputs.size());
        data.Keyframes.reserve(data.Inputs.size() / KeyframeInterval + data.TeleportFrames.size() +
                               1);
    }
}
