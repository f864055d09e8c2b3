#include "Gyrolog.h"
#include "Guarded.h"
#include "bakkesmod/wrappers/GameEvent/ServerWrapper.h"

#include <exception>

std::shared_ptr<CVarManagerWrapper> GlobalCvarManager;

Gyrolog::Gyrolog() {
    LoadedTas.Reset();
    Editor.SetJournalBase(LoadedTas.Name, std::nullopt);
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
    Editor.SetDataFolder(DataFolder);
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
    Editor.StartJournal();
    GuardedOnGame("recovery", [&] { FindRecoveries(); });
}

void Gyrolog::onUnload() {
    gameWrapper->UnregisterDrawables();
    Stop();
    Editor.KeepForRecovery();
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

void Gyrolog::ShowToast(const std::string& text, ToastKind kind) {
    gameWrapper->Toast("Gyrolog", text, "default", 3.5f, static_cast<uint8_t>(kind), 290.0f, 60.0f);
}

void Gyrolog::EditorHost::Log(const std::string& text) {
    if (Plugin.cvarManager) {
        Plugin.cvarManager->log(text);
    }
}

void Gyrolog::EditorHost::Toast(const std::string& text, ToastKind kind) {
    Plugin.ShowToast(text, kind);
}

void Gyrolog::EditorHost::StopRun() {
    Plugin.Stop();
}
