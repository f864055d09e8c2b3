#include "Gyrolog.h"

#include <cstdio>

void Gyrolog::SetGameSpeed(float speed) {
    // The widest float in "%f" (-FLT_MAX) takes 47 characters.
    char number[64];
    std::snprintf(number, sizeof number, "%f", static_cast<double>(speed));
    cvarManager->executeCommand(std::string("sv_soccar_gamespeed ") + number, true);
}

void Gyrolog::Stop() {
    // Timers cannot be cancelled: the ones still pending from earlier starts
    // see the count move on and do nothing.
    ++StopCount;
    EndDriftCheck();
    Journal.HandOver(); // a recording that ends is kept up to its last tick
    // A run may already be Stopped with its speed in force: a restart
    // inside its first 0.2 s, a reset, a replay that never began.
    if (LoadedTas.State == TasState::Stopped && SpeedMode == 0) {
        return;
    }
    LoadedTas.State = TasState::Stopped;
    RestoreNormalSpeed();
}

void Gyrolog::RestoreNormalSpeed() {
    cvarManager->executeCommand("sv_soccar_gamespeed 1", true);
    SpeedMode = 0;
}

void Gyrolog::UpdateInputs() {
    if (LoadedTas.State != TasState::Stopped || LoadedTas.InputsApplied) {
        return;
    }
    {
        std::lock_guard lock(LoadedTasLock); // the Inputs tab reads the arrays it changes
        LoadedTas.MergePending();
    }
    Journal.Merge();
    ReportJournalFailures();
    PublishRunCheck(false);
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
