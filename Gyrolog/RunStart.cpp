#include "Guarded.h"
#include "Gyrolog.h"
#include "RunTick.h"
#include "bakkesmod/wrappers/Engine/ActorWrapper.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"

#include <algorithm>
#include <charconv>

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

} // namespace

void Gyrolog::Start() {
    StartRun(std::nullopt);
}

// tas_rerecordfrom F: F a frame of the run, or its frame count to record
// after the last frame.
void Gyrolog::RerecordCommand(const std::vector<std::string>& args) {
    const std::string text = args.size() == 2 ? args[1] : "";
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        const std::string problem =
            args.size() == 2
                ? "tas_rerecordfrom takes a frame number of 0 or more, not " + text
                : "tas_rerecordfrom takes one frame number, as in tas_rerecordfrom 120";
        cvarManager->log(problem);
        ShowToast(problem, ToastKind::Error);
        return;
    }
    uint64_t frame = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), frame).ec != std::errc()) {
        const std::string problem = PastTheEnd(text, LoadedTas.Data.Inputs.size()); // too long
        cvarManager->log(problem);
        ShowToast(problem, ToastKind::Error);
        return;
    }
    RerecordFrom(frame);
}

void Gyrolog::RerecordFrom(uint64_t frame) {
    const uint64_t frames = LoadedTas.Data.Inputs.size();
    if (frame > frames) {
        const std::string problem = PastTheEnd(std::to_string(frame), frames);
        cvarManager->log(problem);
        ShowToast(problem, ToastKind::Error);
        return;
    }
    StartRun(frame);
}

// A re-record starts as any run does and replays up to its frame.
void Gyrolog::StartRun(std::optional<uint64_t> rerecordFrame) {
    if (!CheckCarSettings()) {
        return;
    }
    LoadedTas.State = TasState::Stopped;
    LoadedTas.RerecordFrame = rerecordFrame;
    EndDriftCheck(); // a replay this start cuts short ends here
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

void Gyrolog::ApplyStartingState() {
    CarWrapper car = gameWrapper->GetLocalCar();
    if (!car || !gameWrapper->IsInFreeplay()) {
        return;
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
        if (SpeedMode != GameSpeedMode::None) {
            RestoreNormalSpeed();
        }
        return;
    }
    if (!LoadedTas.InputsApplied) {
        Editor.ThrowAwayPending(); // kept as a step an undo brings back
    }
    LoadedTas.State = TasState::Replaying;
    LoadedTas.LiveFrame = 0;
    LoadedTas.NextTeleport = 0;
    {
        // The page reads the pending frames of a stopped run, and the frame
        // they start at, under this lock.
        std::lock_guard lock(LoadedTasLock);
        LoadedTas.CurrentFrame = 0;
        LoadedTas.PendingInputs.clear();
        LoadedTas.PendingTeleportFrames.clear();
        LoadedTas.PendingTrace.clear();
    }
    LoadedTas.HeldTrace.clear();
    LoadedTas.HeldTrace.reserve(TeleportWaitTicks); // no growth on the tick
    LoadedTas.RecordedFromOtherStart = false;
    LoadedTas.InputsApplied = true;
    BeginDriftCheck();
    if (LoadedTas.RerecordFrame) {
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
        break;
    case TasState::Stopped:
        break;
    }
    // Counted in the car's ticks, which the game speed does not change.
    if (!cooling) {
        TeleportCooldownTicks = TeleportCooldownLength;
    }
}
