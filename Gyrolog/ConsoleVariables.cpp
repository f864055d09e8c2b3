#include "Guarded.h"
#include "Gyrolog.h"
#include "branches/BranchCommands.h"

void Gyrolog::RegisterBoolCvar(std::shared_ptr<bool>& mirror, bool initial, const char* name,
                               const char* defaultText, const char* description) {
    mirror = std::make_shared<bool>(initial);
    auto variable =
        cvarManager->registerCvar(name, defaultText, description, true, false, 0, false, 0, true);
    variable.bindTo(mirror);
}

// The host keeps its variables across an unload and restores saved ones: the
// mirror starts from what the console holds, then follows through onChange.
void Gyrolog::RegisterFloatCvar(std::shared_ptr<float>& mirror, const char* name,
                                const char* description,
                                void (Gyrolog::*onChange)(std::string, CVarWrapper)) {
    mirror = std::make_shared<float>(1.0f);
    auto variable =
        cvarManager->registerCvar(name, "1", description, true, false, 0, false, 0, true);
    variable.addOnValueChanged([this, name, onChange](std::string oldValue, CVarWrapper changed) {
        GuardedOnGame(name, [&] { (this->*onChange)(oldValue, changed); });
    });
    *mirror = variable.getFloatValue();
}

void Gyrolog::RegisterConsoleVariables() {
    RegisterBoolCvar(AutoReplay, false, "tas_autoreplay", "0", "Auto replay runs on reset");

    RegisterFloatCvar(RecordSpeed, "tas_recordspeed", "Speed for recording",
                      &Gyrolog::OnRecordSpeedChanged);
    RegisterFloatCvar(ReplaySpeed, "tas_replayspeed", "Speed for replaying",
                      &Gyrolog::OnReplaySpeedChanged);

    RegisterBoolCvar(CheckThrottle, true, "tas_checkthrottle", "0", "Check Throttle");
    RegisterBoolCvar(CheckSteer, true, "tas_checksteer", "0", "Check Steer");
    RegisterBoolCvar(CheckAirRoll, true, "tas_checkairroll", "0", "Check Roll");
    RegisterBoolCvar(CheckHandbrake, true, "tas_checkhandbrake", "0", "Check Handbrake");
    RegisterBoolCvar(CheckJump, true, "tas_checkjump", "0", "Check Jump");
    RegisterBoolCvar(CheckBoost, true, "tas_checkboost", "1", "Check Activate Boost");
    // Only the page reads the confirmations, on the render thread: it asks
    // the variables themselves, so they have no mirror the host would write
    // under it.
    for (auto [name, description] : {
             std::pair{"tas_confirmfiledelete", "Show the file delete confirmation popup"},
             std::pair{"tas_confirmoverwritefile", "Show the overwrite existing file popup"},
             std::pair{"tas_confirmoverwriteloadedtas", "Show the overwrite loaded tas popup"},
         }) {
        cvarManager->registerCvar(name, "1", description, true, false, 0, false, 0, true);
    }
    // Read by the overlay, which the host draws on the game thread.
    RegisterBoolCvar(ShowFrame, false, "tas_showframe", "0",
                     "Show the frame counter on the overlay");

    RegisterFloatCvar(DriftTolerance, "tas_drifttolerance",
                      "Distance in units at which a replay counts as drifted from its recording",
                      &Gyrolog::OnDriftToleranceChanged);
    RegisterFloatCvar(SeekSpeed, "tas_seekspeed", "Speed for replaying up to a re-record frame",
                      &Gyrolog::OnSeekSpeedChanged);
    RegisterBoolCvar(QuickSeek, true, "tas_quickseek", "1",
                     "Re-record and play from the nearest keyframe instead of frame 0");
}

void Gyrolog::RegisterConsoleCommands() {
    // Every command up to tas_discardrecovery ignores its arguments.
    cvarManager->registerNotifier(
        "tas_start",
        [this](std::vector<std::string>) { GuardedOnGame("tas_start", [&] { Start(); }); },
        "Start the replay/recording", 0);
    cvarManager->registerNotifier(
        "tas_stop",
        [this](std::vector<std::string>) { GuardedOnGame("tas_stop", [&] { Stop(); }); },
        "Stop recording or replaying inputs", 0);
    cvarManager->registerNotifier(
        "tas_update",
        [this](std::vector<std::string>) { GuardedOnGame("tas_update", [&] { UpdateInputs(); }); },
        "Update saved inputs", 0);
    cvarManager->registerNotifier(
        "tas_stopandupdate",
        [this](std::vector<std::string>) {
            GuardedOnGame("tas_stopandupdate", [&] {
                Stop();
                UpdateInputs();
            });
        },
        "Stop recording or replaying inputs and apply new inputs to recorded tas", 0);
    cvarManager->registerNotifier(
        "tas_changespeed",
        [this](std::vector<std::string>) {
            GuardedOnGame("tas_changespeed", [&] { ToggleSpeed(); });
        },
        "Toggle speed between replay and record speed", 0);
    cvarManager->registerNotifier(
        "tas_undo",
        [this](std::vector<std::string>) { GuardedOnGame("tas_undo", [&] { Editor.Undo(); }); },
        "Undo the last change to the loaded TAS", 0);
    cvarManager->registerNotifier(
        "tas_redo",
        [this](std::vector<std::string>) { GuardedOnGame("tas_redo", [&] { Editor.Redo(); }); },
        "Redo the last undone change", 0);
    cvarManager->registerNotifier(
        "tas_recover",
        [this](std::vector<std::string>) { GuardedOnGame("tas_recover", [&] { RecoverRun(); }); },
        "Load the unsaved run found at start", 0);
    cvarManager->registerNotifier(
        "tas_discardrecovery",
        [this](std::vector<std::string>) {
            GuardedOnGame("tas_discardrecovery", [&] { DiscardRecovery(); });
        },
        "Drop the unsaved run found at start", 0);
    // The commands from here on read their arguments.
    cvarManager->registerNotifier(
        "tas_rerecordfrom",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_rerecordfrom", [&] { RerecordCommand(args); });
        },
        "Replay the loaded TAS up to frame F and record from there", 0);
    cvarManager->registerNotifier(
        "tas_setinput",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_setinput", [&] { Editor.SetInputCommand(args); });
        },
        "Set a control on frames FROM to TO: tas_setinput FROM TO CONTROL VALUE", 0);
    cvarManager->registerNotifier(
        "tas_insertframes",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_insertframes", [&] { Editor.InsertFramesCommand(args); });
        },
        "Insert frames: tas_insertframes AT COUNT [neutral|copy]", 0);
    cvarManager->registerNotifier(
        "tas_deleteframes",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_deleteframes", [&] { Editor.DeleteFramesCommand(args); });
        },
        "Delete frames FROM to TO: tas_deleteframes FROM TO", 0);
    cvarManager->registerNotifier(
        "tas_marker",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_marker", [&] { Editor.MarkerCommand(args); });
        },
        "Pin TEXT to frame F of the loaded TAS", 0);
    cvarManager->registerNotifier(
        "tas_unmarker",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_unmarker", [&] { Editor.UnmarkerCommand(args); });
        },
        "Remove the marker of frame F", 0);
    cvarManager->registerNotifier(
        "tas_playfrom",
        [this](std::vector<std::string> args) {
            GuardedOnGame("tas_playfrom", [&] { PlayFromCommand(args); });
        },
        "Play the loaded TAS from frame F", 0);
    RegisterBranchCommands(*cvarManager, Branches);
}

void Gyrolog::RegisterHooks() {
    gameWrapper->HookEvent("Function TAGame.GameEvent_TA.Destroyed", [this](std::string name) {
        GuardedOnGame("game event teardown", [&] { OnGameEventDestroyed(name); });
    });
    gameWrapper->HookEventWithCaller<CarWrapper>(
        "Function TAGame.Car_TA.SetVehicleInput",
        [this](CarWrapper caller, void* params, std::string name) {
            GuardedOnGame("vehicle input", [&] { OnSetVehicleInput(caller, params, name); });
        });
    gameWrapper->HookEventPost(
        "Function GameEvent_Soccar_TA.Active.StartRound",
        [this](std::string name) { GuardedOnGame("round start", [&] { OnRoundStarted(name); }); });
    gameWrapper->HookEventPost("Function TAGame.Car_TA.Teleport", [this](std::string name) {
        GuardedOnGame("teleport", [&] { OnTeleport(name); });
    });
}
