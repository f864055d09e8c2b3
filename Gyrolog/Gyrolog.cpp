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

// A failure at load or unload (a thread that cannot start or be joined, a
// host call that throws) is logged and shown, and stays on this side. Each
// step is tried on its own: an unload that fails in one still joins the
// journal's thread.
void Gyrolog::onLoad() {
    NoteGameThread(); // the host loads plugins on its game thread
    GlobalCvarManager = cvarManager;
    const auto load = [this] {
        Load();
    };
    const auto startJournal = [this] {
        Editor.StartJournal();
    };
    const bool loaded = GuardedSteps("load", {load});
    if (!GuardedSteps("load", {startJournal}) || !loaded) {
        Guarded("load",
                [&] { ShowToast("Gyrolog did not load fully, check logs", ToastKind::Error); });
    }
    if (loaded) { // the journals' folder is known
        GuardedOnGame("recovery", [&] { FindRecoveries(); });
    }
}

void Gyrolog::onUnload() {
    const auto unregister = [this] {
        gameWrapper->UnregisterDrawables();
    };
    const auto stop = [this] {
        Stop();
    };
    const auto keepBranch = [this] {
        Branches.Finish();
    };
    const auto keep = [this] {
        Editor.KeepForRecovery();
    };
    if (!GuardedSteps("unload", {unregister, stop, keepBranch, keep})) {
        Guarded("unload",
                [&] { ShowToast("Gyrolog did not unload cleanly, check logs", ToastKind::Error); });
    }
}

void Gyrolog::Load() {
    // The host answers the data folder only through the live game handle.
    DataFolder = gameWrapper->GetDataFolder() / "Gyrolog";
    Editor.SetDataFolder(DataFolder);
    Branches.SetDataFolder(DataFolder);
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

// A game frame at 120 frames a second.
void Gyrolog::EditorHost::Later(std::function<void()> next) {
    Plugin.gameWrapper->SetTimeout(
        [next = std::move(next)](GameWrapper*) { GuardedOnGame("branches", next); }, 1.0f / 120);
}

float Gyrolog::EditorHost::DriftTolerance() {
    return *Plugin.DriftTolerance;
}
