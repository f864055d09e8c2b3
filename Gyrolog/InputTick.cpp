#include "Gyrolog.h"

#include <cstring>

namespace {

// No dead zone: any deflection counts, -0.0 does not, NaN does.
bool Touched(float value) {
    return value != 0.0f;
}

bool Touched(uint32_t flags, uint32_t mask) {
    return (flags & mask) != 0;
}

} // namespace

void Gyrolog::OnSetVehicleInput(CarWrapper caller, void* params, std::string) {
    if (!caller || !gameWrapper->IsInFreeplay()) {
        return;
    }
    CarWrapper localCar = gameWrapper->GetLocalCar();
    if (!localCar || localCar.memory_address != caller.memory_address) {
        return;
    }
    auto* live = static_cast<VehicleInput*>(params);
    const uint64_t count = LoadedTas.Data.Inputs.size();

    if (LoadedTas.State == TasState::Recording) {
        LoadedTas.PendingInputs.push_back(*live);
        return;
    }
    if (LoadedTas.State != TasState::Replaying) {
        return;
    }
    if (LoadedTas.CurrentFrame == count) {
        TakeOver();
        LoadedTas.PendingInputs.push_back(*live);
        return;
    }
    if (LoadedTas.CurrentFrame > count) {
        return;
    }
    const bool takenOver =
        (*CheckThrottle && Touched(live->Throttle)) ||
        (*CheckSteer && (Touched(live->Steer) || Touched(live->Pitch) || Touched(live->Yaw))) ||
        (*CheckAirRoll && Touched(live->Roll)) ||
        (*CheckHandbrake && Touched(live->Flags, VehicleInputFlag::Handbrake)) ||
        (*CheckJump &&
         (Touched(live->FlipForward) || Touched(live->FlipSideways) ||
          Touched(live->Flags, VehicleInputFlag::Jump | VehicleInputFlag::JumpHeld))) ||
        (*CheckBoost &&
         Touched(live->Flags, VehicleInputFlag::ActivateBoost | VehicleInputFlag::BoostHeld));
    if (takenOver) {
        TakeOver();
        LoadedTas.PendingInputs.push_back(*live);
        return;
    }

    const auto& teleports = LoadedTas.Data.TeleportFrames;
    if (LoadedTas.NextTeleport < teleports.size() &&
        LoadedTas.CurrentFrame >= teleports[LoadedTas.NextTeleport]) {
        // Hold the teleport frame's input until the car's teleport arrives.
        std::memcpy(params, &LoadedTas.Data.Inputs[teleports[LoadedTas.NextTeleport]],
                    sizeof(VehicleInput));
        return;
    }
    std::memcpy(params, &LoadedTas.Data.Inputs[LoadedTas.CurrentFrame], sizeof(VehicleInput));
    ++LoadedTas.CurrentFrame;
}

void Gyrolog::TakeOver() {
    if (!gameWrapper->GetLocalCar() || !gameWrapper->IsInFreeplay()) {
        return;
    }
    LoadedTas.State = TasState::Recording;
    LoadedTas.PendingInputs.clear();
    LoadedTas.PendingTeleportFrames.clear();
    LoadedTas.InputsApplied = false;
    SetGameSpeed(*RecordSpeed);
    SpeedMode = 2;
}
