#include "Gyrolog.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"
#include "runs/files/RunFolder.h"

namespace {

StartingState CaptureState(ActorWrapper actor) {
    return StartingState{actor.GetLocation(), actor.GetRotation(), actor.GetVelocity(),
                         actor.GetAngularVelocity(), true};
}

} // namespace

std::optional<HitboxType> DetectHitboxType(CarWrapper car) {
    return HitboxFromExtent(car.GetLocalCollisionExtent().X);
}

void Gyrolog::CreateNewTas(const std::string& name) {
    if (!gameWrapper->IsInFreeplay()) {
        ShowToast("Load into freeplay to make a new TAS", ToastKind::Error);
        return;
    }
    if (const char* problem = RunNameProblem(DataFolder, name)) {
        ShowToast(problem, ToastKind::Error);
        return;
    }
    RefreshTasFiles();
    for (const auto& file : *TasFiles.Get()) {
        if (SameRunName(file.Name, name)) {
            ShowToast(file.Name + " already exists, new TAS not created", ToastKind::Error);
            return;
        }
    }
    CarWrapper car = gameWrapper->GetLocalCar();
    if (!car) {
        ShowToast("Can't find car information new TAS not created", ToastKind::Error);
        return;
    }
    const GamepadSettings gamepad = gameWrapper->GetSettings().GetGamepadSettings();
    const auto hitbox = DetectHitboxType(car);
    if (!hitbox) {
        ShowToast("Couldn't identify hitbox type, make sure you're in freeplay and not in a replay",
                  ToastKind::Error);
        return;
    }

    Stop(); // the new run must not inherit the old one's speed or pending start
    const StartingState carStart = CaptureState(car);
    BallWrapper ball = CurrentBall();
    const std::optional<StartingState> ballStart =
        ball ? std::optional(CaptureState(ball)) : std::nullopt;
    ReplacedRun captured;
    captured.Name = name;
    captured.Data.AirSensitivity = gamepad.AirControlSensitivity;
    captured.Data.SteerSensitivity = gamepad.SteeringSensitivity;
    captured.Data.CarStart = carStart;
    captured.Data.Hitbox = *hitbox;
    if (ballStart) {
        captured.Data.BallStart = *ballStart;
    }
    Editor.ReplaceLoadedRun(std::move(captured), "new TAS " + name);
    Editor.SetJournalBase(name, std::nullopt);
    ShowToast("TAS " + name + " created", ToastKind::Success);
    if (!ballStart) {
        ShowToast("Couldn't retrieve ball information. TAS created without it", ToastKind::Warning);
    }
}
