#include "Gyrolog.h"
#include "bakkesmod/wrappers/GameEvent/ServerWrapper.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"

namespace {

StartingState CaptureState(ActorWrapper actor) {
    return StartingState{actor.GetLocation(), actor.GetRotation(), actor.GetVelocity(),
                         actor.GetAngularVelocity(), true};
}

} // namespace

std::optional<HitboxType> DetectHitboxType(CarWrapper car) {
    return HitboxFromExtent(car.GetLocalCollisionExtent().X);
}

void Gyrolog::CreateNewTas() {
    if (!gameWrapper->IsInFreeplay()) {
        ShowToast("Load into freeplay to make a new TAS", 3);
        return;
    }
    RefreshTasFiles();
    for (const auto& file : TasFiles) {
        if (file.Name == NewTasName) {
            ShowToast(NewTasName + " already exists, new TAS not created", 3);
            return;
        }
    }
    CarWrapper car = gameWrapper->GetLocalCar();
    if (!car) {
        ShowToast("Can't find car information new TAS not created", 3);
        return;
    }
    const GamepadSettings gamepad = gameWrapper->GetSettings().GetGamepadSettings();
    const auto hitbox = DetectHitboxType(car);
    if (!hitbox) {
        ShowToast("Couldn't identify hitbox type, make sure you're in freeplay and not in a replay",
                  3);
        return;
    }

    Stop(); // the new run must not inherit the old one's speed or pending start
    LoadedTas.Reset();
    LoadedTas.Name = NewTasName;
    LoadedTas.Data.AirSensitivity = gamepad.AirControlSensitivity;
    LoadedTas.Data.SteerSensitivity = gamepad.SteeringSensitivity;
    LoadedTas.Data.CarStart = CaptureState(car);
    LoadedTas.Data.Hitbox = *hitbox;
    PublishRunCheck(true);
    ShowToast("TAS " + NewTasName + " created", 1);

    ServerWrapper server = gameWrapper->GetCurrentGameState();
    BallWrapper ball = server ? server.GetBall() : BallWrapper(0);
    if (ball) {
        LoadedTas.Data.BallStart = CaptureState(ball);
    } else {
        ShowToast("Couldn't retrieve ball information. TAS created without it", 2);
    }
}
