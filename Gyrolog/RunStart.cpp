#include "Guarded.h"
#include "Gyrolog.h"
#include "RunTick.h"
#include "bakkesmod/wrappers/Engine/ActorWrapper.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "runs/KeyframePlacement.h"

#include <algorithm>
#include <charconv>
#include <fmt/core.h>
#include <string>
#include <variant>
#include <vector>

namespace {

void PlaceActor(ActorWrapper actor, const StartingState& state) {
    actor.SetLocation(state.Location);
    actor.SetRotation(state.Rotation);
    actor.SetVelocity(state.Velocity);
    actor.SetAngularVelocity(state.AngularVelocity, false);
}

std::string PastTheEnd(const std::string& frame, uint64_t frames) {
    return "Frame " + frame + " is past the end of the TAS (" + std::to_string(frames) + " frames)";
}

// A command's one frame argument: a frame of the run, or its frame count.
// The problem otherwise, for the console and a toast.
std::variant<uint64_t, std::string> FrameArgument(const std::vector<std::string>& args,
                                                  const std::string& command, uint64_t frames) {
    const std::string text = args.size() == 2 ? args[1] : "";
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        return args.size() == 2 ? command + " takes a frame number of 0 or more, not " + text
                                : command + " takes one frame number, as in " + command + " 120";
    }
    uint64_t frame = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), frame).ec != std::errc() ||
        frame > frames) {
        return PastTheEnd(text, frames); // also too long for a number
    }
    return frame;
}

} // namespace

void Gyrolog::Start() {
    StartRun(std::nullopt, std::nullopt, false);
}

// tas_rerecordfrom F: F a frame of the run, or its frame count to record
// after the last frame.
void Gyrolog::RerecordCommand(const std::vector<std::string>& args) {
    const auto frame = FrameArgument(args, "tas_rerecordfrom", LoadedTas.Data.Inputs.size());
    if (const auto* problem = std::get_if<std::string>(&frame)) {
        cvarManager->log(*problem);
        ShowToast(*problem, ToastKind::Error);
        return;
    }
    RerecordFrom(std::get<uint64_t>(frame));
}

// tas_playfrom F: the replay goes on to the run's end from frame F.
void Gyrolog::PlayFromCommand(const std::vector<std::string>& args) {
    const auto frame = FrameArgument(args, "tas_playfrom", LoadedTas.Data.Inputs.size());
    if (const auto* problem = std::get_if<std::string>(&frame)) {
        cvarManager->log(*problem);
        ShowToast(*problem, ToastKind::Error);
        return;
    }
    StartRun(std::nullopt, std::get<uint64_t>(frame), *QuickSeek);
}

void Gyrolog::RerecordFrom(uint64_t frame) {
    const uint64_t frames = LoadedTas.Data.Inputs.size();
    if (frame > frames) {
        const std::string problem = PastTheEnd(std::to_string(frame), frames);
        cvarManager->log(problem);
        ShowToast(problem, ToastKind::Error);
        return;
    }
    StartRun(frame, std::nullopt, *QuickSeek);
}

// A re-record starts as any run does and replays up to its frame.
void Gyrolog::StartRun(std::optional<uint64_t> rerecordFrame, std::optional<uint64_t> playFrom,
                       bool quickSeek) {
    if (!CheckCarSettings()) {
        return;
    }
    LoadedTas.State = TasState::Stopped;
    EndDriftCheck(); // a replay this start cuts short ends here
    LoadedTas.RerecordFrame = rerecordFrame;
    LoadedTas.PlayFrom = playFrom;
    const std::optional<uint64_t> target = rerecordFrame ? rerecordFrame : playFrom;
    const Keyframe* keyframe =
        target && quickSeek ? QuickSeekKeyframe(LoadedTas.Data, *target) : nullptr;
    LoadedTas.PlacedAt = keyframe ? keyframe->Frame : 0;
    LoadedTas.QuickSeeking = keyframe != nullptr;
    LoadedTas.Placing = true;
    ApplyStartingState();
    // The game settles a placed car over a few ticks: place it again until
    // the replay begins.
    const uint64_t stops = StopCount;
    for (float delay : {0.05f, 0.10f, 0.15f}) {
        gameWrapper->SetTimeout(
            [this, stops](GameWrapper*) {
                GuardedOnGame("run start", [&] {
                    if (stops == StopCount) {
                        ApplyStartingState();
                    }
                });
            },
            delay);
    }
    gameWrapper->SetTimeout(
        [this, stops](GameWrapper*) {
            GuardedOnGame("run start", [&] {
                if (stops == StopCount) {
                    ApplyStartingState();
                    BeginReplay();
                }
            });
        },
        0.20f);
}

// Places the keyframe the run starts from when its trace has one (the whole
// state at frame 0, or a quick seek's), else the starting states.
void Gyrolog::ApplyStartingState() {
    CarWrapper car = gameWrapper->GetLocalCar();
    if (!car || !gameWrapper->IsInFreeplay()) {
        return;
    }
    // Game-thread reads: only this thread changes the trace.
    if (const Keyframe* keyframe = QuickSeekKeyframe(LoadedTas.Data, LoadedTas.PlacedAt)) {
        if (keyframe->Frame == LoadedTas.PlacedAt) {
            PlaceKeyframe(car, CurrentBall(), *keyframe);
            return;
        }
    }
    StartingState carStart;
    StartingState ballStart;
    {
        std::lock_guard lock(LoadedTasLock); // the run editor may be changing them
        carStart = LoadedTas.Data.CarStart;
        ballStart = LoadedTas.Data.BallStart;
    }
    if (carStart.Enabled) {
        PlaceActor(car, carStart);
    }
    if (ballStart.Enabled) {
        if (BallWrapper ball = CurrentBall()) {
            PlaceActor(ball, ballStart);
        }
    }
}

void Gyrolog::BeginReplay() {
    if (!gameWrapper->GetLocalCar() || !gameWrapper->IsInFreeplay()) {
        // The run stays Stopped: it must not stay slowed by a replay it
        // interrupted.
        LoadedTas.Placing = false;
        if (SpeedMode != GameSpeedMode::None) {
            RestoreNormalSpeed();
        }
        return;
    }
    if (!LoadedTas.InputsApplied) {
        Editor.ThrowAwayPending(); // kept as a step an undo brings back
    }
    const uint64_t placedAt = LoadedTas.PlacedAt;
    if (placedAt > 0 && !QuickSeekKeyframe(LoadedTas.Data, placedAt)) {
        // Its keyframe went while the car was placed: seek from frame 0.
        StartRun(LoadedTas.RerecordFrame, LoadedTas.PlayFrom, false);
        return;
    }
    LoadedTas.Placing = false;
    LoadedTas.State = TasState::Replaying;
    LoadedTas.LiveFrame = placedAt;
    LoadedTas.NextTeleport = NextTeleportAfterPlacing(LoadedTas.Data.TeleportFrames, placedAt);
    {
        // The page reads the pending frames of a stopped run, and the frame
        // they start at, under this lock.
        std::lock_guard lock(LoadedTasLock);
        LoadedTas.CurrentFrame = placedAt;
        LoadedTas.PendingInputs.clear();
        LoadedTas.PendingTeleportFrames.clear();
        LoadedTas.PendingTrace.clear();
        LoadedTas.PendingKeyframes.clear();
        BeginTraceGrowth(LoadedTas); // may move the trace the page reads
    }
    LoadedTas.HeldTrace.clear();
    LoadedTas.HeldTrace.reserve(TeleportWaitTicks); // no growth on the tick
    LoadedTas.RecordedFromOtherStart = false;
    LoadedTas.InputsApplied = true;
    BeginDriftCheck();
    const std::optional<uint64_t> target =
        LoadedTas.RerecordFrame ? LoadedTas.RerecordFrame : LoadedTas.PlayFrom;
    if (target && LoadedTas.QuickSeeking) {
        cvarManager->log(fmt::format("Placed at keyframe {} for frame {}", placedAt, *target));
    }
    if (LoadedTas.PlayFrom) {
        cvarManager->log(fmt::format("Playing from frame {}", *LoadedTas.PlayFrom));
    }
    if (LoadedTas.RerecordFrame || (LoadedTas.PlayFrom && *LoadedTas.PlayFrom > placedAt)) {
        SetGameSpeed(*SeekSpeed);
        SpeedMode = GameSpeedMode::Seek;
    } else {
        SetGameSpeed(*ReplaySpeed);
        SpeedMode = GameSpeedMode::Replay;
    }
}

void Gyrolog::OnTeleport(std::string) {
    if (!gameWrapper->IsInFreeplay()) {
        return;
    }
    auto& tas = LoadedTas;
    const bool cooling = TeleportCooldownTicks > 0;
    switch (tas.State) {
    case TasState::Replaying:
        // The game may report one teleport more than once.
        StepToTeleportFrame(tas, cooling);
        break;
    case TasState::Recording:
        if (cooling) {
            return;
        }
        tas.PendingTeleportFrames.push_back(tas.CurrentFrame + tas.PendingInputs.size());
        Editor.Teleport(tas.PendingTeleportFrames.back());
        LiveTail.Teleport(tas.PendingTeleportFrames.back());
        break;
    case TasState::Stopped:
        break;
    }
    // Counted in the car's ticks, which the game speed does not change.
    if (!cooling) {
        TeleportCooldownTicks = TeleportCooldownLength;
    }
}
