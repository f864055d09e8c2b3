#include "Gyrolog.h"

#include <cstdio>

void Gyrolog::SetGameSpeed(float speed) {
    char text[64];
    std::snprintf(text, sizeof text, "sv_soccar_gamespeed %f", static_cast<double>(speed));
    cvarManager->executeCommand(text, true);
}

void Gyrolog::Stop() {
    if (LoadedTas.State == TasState::Stopped) {
        return;
    }
    LoadedTas.State = TasState::Stopped;
    cvarManager->executeCommand("sv_soccar_gamespeed 1", true);
    SpeedMode = 0;
}

void Gyrolog::UpdateInputs() {
    if (LoadedTas.State != TasState::Stopped || LoadedTas.InputsApplied) {
        return;
    }
    LoadedTas.MergePending();
    ShowToast("New inputs applied", 0);
}

void Gyrolog::ToggleSpeed() {
    if (SpeedMode == 1) {
        SetGameSpeed(*RecordSpeed);
        SpeedMode = 2;
    } else if (SpeedMode == 2) {
        SetGameSpeed(*ReplaySpeed);
        SpeedMode = 1;
    }
}

void Gyrolog::OnRecordSpeedChanged(std::string, CVarWrapper variable) {
    *RecordSpeed = variable.getFloatValue();
    if (SpeedMode == 2) {
        SetGameSpeed(*RecordSpeed);
    }
}

void Gyrolog::OnReplaySpeedChanged(std::string, CVarWrapper variable) {
    *ReplaySpeed = variable.getFloatValue();
    if (SpeedMode == 1) {
        SetGameSpeed(*ReplaySpeed);
    }
}

void Gyrolog::OnRoundStarted(std::string) {
    if (!gameWrapper->IsInFreeplay()) {
        return;
    }
    Stop();
    if (*AutoReplay) {
        Start();
    }
}

void Gyrolog::OnGameEventDestroyed(std::string) {
    Stop();
}
