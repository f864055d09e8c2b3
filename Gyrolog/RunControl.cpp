#include "Gyrolog.h"

#include <cstdio>
#include <fmt/core.h>

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
    LoadedTas.RerecordFrame.reset(); // a re-record stopped before its frame ends as a replay
    EndDriftCheck();
    Editor.RunStopped(); // journals what it recorded; its take-over is the one to undo
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
    Editor.Update();
}

// A re-record's replay up to its frame toggles between the seek speed and
// the record speed.
void Gyrolog::ToggleSpeed() {
    if (SpeedMode == 1 || SpeedMode == 3) {
        SetGameSpeed(*RecordSpeed);
        SpeedMode = 2;
    } else if (SpeedMode == 2 && LoadedTas.RerecordFrame) {
        SetGameSpeed(*SeekSpeed);
        SpeedMode = 3;
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

void Gyrolog::OnSeekSpeedChanged(std::string, CVarWrapper variable) {
    *SeekSpeed = variable.getFloatValue();
    if (SpeedMode == 3) {
        SetGameSpeed(*SeekSpeed);
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
