#include "Gyrolog.h"
#include "Guarded.h"
#include "bakkesmod/wrappers/GameEvent/ServerWrapper.h"

#include <exception>

std::shared_ptr<CVarManagerWrapper> GlobalCvarManager;

Gyrolog::Gyrolog() {
    LoadedTas.Reset();
    SetJournalBase(LoadedTas.Name, std::nullopt);
}

Gyrolog::~Gyrolog() {
    // The console handle belongs to the host that is letting us go.
    if (GlobalCvarManager == cvarManager) {
        GlobalCvarManager.reset();
    }
}

void Gyrolog::onLoad() {
    NoteGameThread(); // the host loads plugins on its game thread
    // The host answers the data folder only through the live game handle.
    DataFolder = gameWrapper->GetDataFolder() / "Gyrolog";
    GlobalCvarManager = cvarManager;
    RefreshInFreeplay();
    gameWrapper->RegisterDrawable([this](CanvasWrapper canvas) {
        GuardedOnGame("status overlay", [&] {
            RefreshInFreeplay();
            DrawStatusOverlay(canvas);
        });
    });
    RegisterConsoleVariables();
    RegisterConsoleCommands();
    RegisterHooks();
    PrepareRunFolder();
    Journal.Start();
    GuardedOnGame("recovery", [&] { FindRecoveries(); });
}

void Gyrolog::onUnload() {
    gameWrapper->UnregisterDrawables();
    Stop();
    KeepForRecovery();
}

std::string Gyrolog::GetPluginName() {
    return "Gyrolog";
}

// On the game thread only: the settings page reads the value instead.
void Gyrolog::RefreshInFreeplay() {
    InFreeplay = gameWrapper->IsInFreeplay();
}

// The ball of the current game, a null ball when there is no game or no ball.
BallWrapper Gyrolog::CurrentBall() {
    ServerWrapper server = gameWrapper->GetCurrentGameState();
    return server ? server.GetBall() : BallWrapper(0);
}

void Gyrolog::ShowToast(const std::string& text, uint8_t type) {
    gameWrapper->Toast("Gyrolog", text, "default", 3.5f, type, 290.0f, 60.0f);
}
