#include "Gyrolog.h"
#include "RunTick.h"

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
    LoadedTas.PlayFrom.reset();
    LoadedTas.Placing = false;
    EndDriftCheck();
    Editor.RunStopped(); // journals what it recorded; its take-over is the one to undo
    // A run may already be Stopped with its speed in force: a restart
    // inside its first 0.2 s, a reset, a replay that never began.
    if (LoadedTas.State == TasState::Stopped && SpeedMode == GameSpeedMode::None) {
        return;
    }
    LoadedTas.State = TasState::Stopped;
    RestoreNormalSpeed();
}

void Gyrolog::RestoreNormalSpeed() {
    cvarManager->executeCommand("sv_soccar_gamespeed 1", true);
    SpeedMode = GameSpeedMode::None;
}

void Gyrolog::UpdateInputs() {
    Editor.Update();
}

// A re-record's replay up to its frame toggles between the seek speed and
// the record speed.
void Gyrolog::ToggleSpeed() {
    const GameSpeedMode next =
        ToggledSpeed(SpeedMode, LoadedTas.RerecordFrame || LoadedTas.PlayFrom);
    if (next == SpeedMode) {
        return;
    }
    SetGameSpeed(next == GameSpeedMode::Record ? *RecordSpeed
                 : next == GameSpeedMode::Seek ? *SeekSpeed
                                               : *ReplaySpeed);
    SpeedMode = next;
}

void Gyrolog::OnRecordSpeedChanged(std::string, CVarWrapper variable) {
    *RecordSpeed = variable.getFloatValue();
    if (SpeedMode == GameSpeedMode::Record) {
        SetGameSpeed(*RecordSpeed);
    }
}

void Gyrolog::OnReplaySpeedChanged(std::string, CVarWrapper variable) {
    *ReplaySpeed = variable.getFloatValue();
    if (SpeedMode == GameSpeedMode::Replay) {
        SetGameSpeed(*ReplaySpeed);
    }
}

void Gyrolog::OnSeekSpeedChanged(std::string, CVarWrapper variable) {
    *SeekSpeed = variable.getFloatValue();
    if (SpeedMode == GameSpeedMode::Seek) {
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
