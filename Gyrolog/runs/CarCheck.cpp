#include "Gyrolog.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"

#include <cstdio>

namespace {

std::string SixDecimals(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

} // namespace

bool Gyrolog::CheckCarSettings() {
    CarWrapper car = gameWrapper->GetLocalCar();
    if (!car || !gameWrapper->IsInFreeplay()) {
        return false;
    }
    const auto& data = LoadedTas.Data;
    const HitboxType detected = DetectHitboxType(car).value_or(HitboxType::Other);
    if (detected != data.Hitbox) {
        ShowToast(std::string(HitboxName(data.Hitbox)) + " hitbox expected, " +
                      HitboxName(detected) + " hitbox detected",
                  ToastKind::Error);
        return false;
    }
    // Exact comparisons: a NaN on either side is a mismatch.
    const float air = gameWrapper->GetSettings().GetGamepadSettings().AirControlSensitivity;
    if (!(air == data.AirSensitivity)) {
        ShowToast(SixDecimals(data.AirSensitivity) + " air sensitivity expected, " +
                      SixDecimals(air) + " air sensitivity detected",
                  ToastKind::Error);
        return false;
    }
    const float steer = gameWrapper->GetSettings().GetGamepadSettings().SteeringSensitivity;
    if (!(steer == data.SteerSensitivity)) {
        ShowToast(SixDecimals(data.SteerSensitivity) + " steer sensitivity expected, " +
                      SixDecimals(steer) + " steer sensitivity detected",
                  ToastKind::Error);
        return false;
    }
    return true;
}
