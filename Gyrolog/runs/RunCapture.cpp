#include "Gyrolog.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"
#include "runs/RunFolder.h"

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
        ShowToast("Load into freeplay to make a new TAS", 3);
        return;
    }
    if (const char* problem = RunNameProblem(DataFolder, name)) {
        ShowToast(problem, 3);
        return;
    }
    RefreshTasFiles();
    for (const auto& file : *RunFiles()) {
        if (SameRunName(file.Name, name)) {
            ShowToast(file.Name + " already exists, new TAS not created", 3);
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
    ReplaceLoadedRun(std::move(captured), "new TAS " + name);
    {
        std::lock_guard lock(LoadedTasLock); // the run editor may be editing the new run
        SetJournalBase(name, std::nullopt);
    }
    PublishRunCheck(true);
    ShowToast("TAS " + name + " created", 1);
    if (!ballStart) {
        ShowToast("Couldn't retrieve ball information. TAS created without it", 2);
    }
}
