#include "Gyrolog.h"
#include "RunTick.h"
#include "runs/KeyframePlacement.h"

#include <cstring>

void Gyrolog::OnSetVehicleInput(CarWrapper caller, void* params, std::string) {
    Editor.CheckJournal(); // a journal that cannot be written is said while it happens
    // Stopped is the usual state: return before any host query. The queries
    // change nothing, so doing them later cannot be observed.
    if (LoadedTas.State == TasState::Stopped && TeleportCooldownTicks == 0 && !LoadedTas.Placing) {
        return;
    }
    if (!caller || !gameWrapper->IsInFreeplay()) {
        return;
    }
    CarWrapper localCar = gameWrapper->GetLocalCar();
    if (!localCar || localCar.memory_address != caller.memory_address) {
        return;
    }
    if (TeleportCooldownTicks > 0) {
        --TeleportCooldownTicks;
    }
    auto* live = static_cast<VehicleInput*>(params);
    const uint64_t count = LoadedTas.Data.Inputs.size();
    if (LoadedTas.Placing && LoadedTas.PlacedAt > 0 && LoadedTas.PlacedAt <= count) {
        // The car placed at a keyframe holds the input of the frame before
        // it, so that the keyframe's frame begins with the controls it had.
        std::memcpy(params, &LoadedTas.Data.Inputs[LoadedTas.PlacedAt - 1], sizeof(VehicleInput));
        return;
    }

    if (LoadedTas.State == TasState::Recording) {
        RecordTick(localCar, *live);
        return;
    }
    if (LoadedTas.State != TasState::Replaying) {
        return;
    }
    if (LoadedTas.CurrentFrame == count) {
        TakeOver();
        RecordTick(localCar, *live);
        return;
    }
    if (LoadedTas.CurrentFrame > count) {
        return;
    }
    // A re-record plays on whatever the player holds up to its frame and
    // takes over there as a touch would.
    const bool takenOver = LoadedTas.RerecordFrame
                               ? RerecordFrameReached(LoadedTas)
                               : TouchesWatched(*live, {*CheckThrottle, *CheckSteer, *CheckAirRoll,
                                                        *CheckHandbrake, *CheckJump, *CheckBoost});
    if (takenOver) {
        TakeOver();
        RecordTick(localCar, *live);
        return;
    }

    if (const VehicleInput* held = HeldInput(LoadedTas)) {
        if (LoadedTas.HeldTrace.size() == TeleportWaitTicks) {
            cvarManager->log("Replay waited 2 s at frame " +
                             std::to_string(LoadedTas.CurrentFrame) +
                             " for a teleport that did not come");
            TakeOver();
            RecordTick(localCar, *live);
            return;
        }
        // Hold the teleport frame's input until the car's teleport arrives;
        // the car moves meanwhile, so a take-over keeps these ticks.
        LoadedTas.HeldTrace.push_back(TraceNow(localCar));
        std::memcpy(params, held, sizeof(VehicleInput));
        return;
    }
    if (DriftChecking) {
        CheckDrift(localCar);
        if (LoadedTas.State != TasState::Replaying) {
            return; // a quick seek that drifted starts again from frame 0
        }
    }
    if (LoadedTas.PlayFrom && LoadedTas.CurrentFrame >= *LoadedTas.PlayFrom) {
        LoadedTas.PlayFrom.reset(); // sought up to its frame: plays on at the replay speed
        SetGameSpeed(*ReplaySpeed);
        SpeedMode = GameSpeedMode::Replay;
    }
    if (LoadedTas.TraceGrowing && LoadedTas.CurrentFrame >= LoadedTas.Data.Trace.size()) {
        GrowTrace(localCar);
    }
    std::memcpy(params, &LoadedTas.Data.Inputs[LoadedTas.CurrentFrame], sizeof(VehicleInput));
    ++LoadedTas.CurrentFrame;
    LoadedTas.LiveFrame = LoadedTas.CurrentFrame;
}

// The replay plays a frame its trace does not cover yet: its trace entry and
// keyframe are taken as a recording's would be. Room was made for them.
void Gyrolog::GrowTrace(CarWrapper& car) {
    auto& run = LoadedTas;
    if (!ContinuesTrace(run) || !run.TraceStillValid()) {
        run.TraceGrowing = false; // a teleport skipped frames, or the trace went
        return;
    }
    const uint64_t frame = run.CurrentFrame;
    const TraceEntry entry = TraceNow(car);
    run.Data.Trace.push_back(entry);
    if (IsKeyframeFrame(frame, run.Data.TeleportFrames)) {
        run.Data.Keyframes.push_back(KeyframeNow(car, CurrentBall(), frame, entry));
    }
    run.TraceGrew = true;
    if (frame % KeyframeInterval == 0) {
        Host.PublishCheck(false); // the page's trace line grows with it
    }
}

// The tick's input and where car and ball were before it moves them.
void Gyrolog::RecordTick(CarWrapper& car, const VehicleInput& live) {
    const TraceEntry trace = TraceNow(car);
    const bool keyframed = RecordsKeyframe(LoadedTas);
    if (keyframed) {
        const uint64_t frame = LoadedTas.CurrentFrame + LoadedTas.PendingInputs.size();
        LoadedTas.PendingKeyframes.push_back(KeyframeNow(car, CurrentBall(), frame, trace));
    }
    LoadedTas.PendingInputs.push_back(live);
    LoadedTas.PendingTrace.push_back(trace);
    Editor.Record(live, trace);
    LiveTail.Add(live, trace);
    if (keyframed) {
        Editor.RecordKeyframe(LoadedTas.PendingKeyframes[LoadedTas.PendingKeyframes.size() - 1]);
    }
    LoadedTas.LiveFrame = LoadedTas.CurrentFrame + LoadedTas.PendingInputs.size();
}

void Gyrolog::TakeOver() {
    if (!gameWrapper->GetLocalCar() || !gameWrapper->IsInFreeplay()) {
        return;
    }
    if (LoadedTas.RerecordFrame) {
        // Reached its frame (or a teleport skipped past it); a hold that
        // gave up before it only ends the re-record.
        if (LoadedTas.CurrentFrame >= *LoadedTas.RerecordFrame) {
            cvarManager->log("Re-recording from frame " + std::to_string(LoadedTas.CurrentFrame));
        }
        LoadedTas.RerecordFrame.reset();
    }
    EndDriftCheck();
    LoadedTas.PlayFrom.reset();
    LiveTail.Begin(LoadedTas.CurrentFrame); // before the page can see the recording
    LoadedTas.State = TasState::Recording;
    LoadedTas.PendingInputs.clear();
    LoadedTas.PendingTeleportFrames.clear();
    LoadedTas.PendingTrace.clear();
    LoadedTas.PendingKeyframes.clear();
    if (const VehicleInput* held = HeldInput(LoadedTas)) {
        LoadedTas.PendHeldTicks(*held);
        for (size_t k = 0; k < LoadedTas.PendingInputs.size(); ++k) {
            LiveTail.Add(LoadedTas.PendingInputs[k], LoadedTas.PendingTrace[k]);
        }
    }
    LoadedTas.InputsApplied = false;
    Editor.TakeOverBegins();
    SetGameSpeed(*RecordSpeed);
    SpeedMode = GameSpeedMode::Record;
}
