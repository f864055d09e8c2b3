#pragma once

// First: the host's PluginSettingsWindow.h includes nothing and needs the
// std::string and uintptr_t this brings.
#include "bakkesmod/plugin/bakkesmodplugin.h"

#include "LiveRecording.h"
#include "RunTick.h"
#include "SharedValue.h"
#include "ToastKind.h"
#include "bakkesmod/plugin/PluginSettingsWindow.h"
#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarWrapper.h"
#include "bakkesmod/wrappers/canvaswrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "bakkesmod/wrappers/cvarwrapper.h"
#include "branches/RunBranches.h"
#include "editor/RunEditor.h"
#include "runs/RunCapture.h"
#include "runs/edits/FrameEdits.h"
#include "runs/edits/RunHistory.h"
#include "runs/files/TasFile.h"
#include "runs/record/Tas.h"
#include "ui/BranchesSection.h"
#include "ui/InputsView.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Logs for code that has no plugin at hand; set at the start of onLoad.
extern std::shared_ptr<CVarManagerWrapper> GlobalCvarManager;

// A tenth of a second of game time: two teleports closer than this are one.
constexpr uint32_t TeleportCooldownLength = 12;
// Two seconds of game time: a replay holding at a teleport frame longer
// than this takes over.
constexpr size_t TeleportWaitTicks = 240;

// What the Loaded TAS tab shows of the run's trace and of the last replay's
// check. Written on the game thread as one value; the page reads it whole.
struct ReplayCheckView {
    enum Outcome : int { NoReplay, Checking, Faithful, Drifted, Unchecked };
    uint64_t TraceFrames = 0; // 0: the run has no trace
    uint64_t RunFrames = 0;   // the trace may cover fewer
    Outcome Last = NoReplay;
    uint64_t Frame = 0; // Drifted: where; Faithful: frames checked
    uint64_t From = 0;  // the frame the replay was placed at: 0, or a keyframe's
    // Of the traced frames: the page reads no more of the trace and its
    // keyframes than this while the game thread may be growing them.
    uint64_t KeyframeCount = 0;
};

// An unsaved run's journal found at load.
struct FoundRecovery {
    std::string Name;
    uint64_t Frames = 0;
    std::filesystem::path Journal;
    bool Damaged = false; // read up to a damaged record, and kept as it is
};

class Gyrolog : public BakkesMod::Plugin::BakkesModPlugin,
                public BakkesMod::Plugin::PluginSettingsWindow {
public:
    Gyrolog();
    ~Gyrolog() override;

    void onLoad() override;
    void onUnload() override;

    void RenderSettings() override;
    std::string GetPluginName() override;
    void SetImGuiContext(uintptr_t ctx) override;

private:
    friend struct GyrologTestAccess;

    void Load();

    // Run engine.
    void OnSetVehicleInput(CarWrapper caller, void* params, std::string eventName);
    void TakeOver();
    void RecordTick(CarWrapper& car, const VehicleInput& live);
    TraceEntry TraceNow(CarWrapper& car);
    void GrowTrace(CarWrapper& car);
    BallWrapper CurrentBall();
    void BeginDriftCheck();
    void CheckDrift(CarWrapper& car);
    void EndDriftCheck();
    void PublishFaithful(uint64_t checkedUpTo);
    void OnDriftToleranceChanged(std::string oldValue, CVarWrapper variable);
    void Start();
    void RerecordCommand(const std::vector<std::string>& args);
    void RerecordFrom(uint64_t frame);
    void PlayFromCommand(const std::vector<std::string>& args);
    // A run starts placed at frame 0, or, for a re-record or a play from a
    // frame with quick seek allowed, at the keyframe before its frame.
    void StartRun(std::optional<uint64_t> rerecordFrame, std::optional<uint64_t> playFrom,
                  bool quickSeek);
    void ApplyStartingState();
    void BeginReplay();
    void OnTeleport(std::string eventName);
    void Stop();
    void UpdateInputs();
    void ToggleSpeed();
    void OnRecordSpeedChanged(std::string oldValue, CVarWrapper variable);
    void OnReplaySpeedChanged(std::string oldValue, CVarWrapper variable);
    void OnSeekSpeedChanged(std::string oldValue, CVarWrapper variable);
    void OnRoundStarted(std::string eventName);
    void OnGameEventDestroyed(std::string eventName);
    void SetGameSpeed(float speed);
    void RestoreNormalSpeed();

    // Console.
    void RegisterConsoleVariables();
    void RegisterBoolCvar(std::shared_ptr<bool>& mirror, bool initial, const char* name,
                          const char* defaultText, const char* description);
    void RegisterFloatCvar(std::shared_ptr<float>& mirror, const char* name,
                           const char* description,
                           void (Gyrolog::*onChange)(std::string, CVarWrapper));
    void RegisterConsoleCommands();
    void RegisterHooks();

    // Run library.
    void PrepareRunFolder();
    void RefreshTasFiles();
    void SaveTas();
    void LoadTas(int index);
    void DeleteTas(int index);

    // Run capture and car check.
    void CreateNewTas(const std::string& name);
    bool CheckCarSettings();

    // Recovery of unsaved work.
    void FindRecoveries();
    void RecoverRun();
    void DiscardRecovery();

    void ShowToast(const std::string& text, ToastKind kind);
    void RefreshInFreeplay();

    // Settings page and overlay.
    void RenderSettingsTabs();
    void RenderTasFiles();
    void RenderRecoveryLine();
    void RenderLoadedTas();
    void CommitPageEdits(const Tas::DetailsEdit& edit, const StartingState& car,
                         const StartingState& ball);
    void RenderTasControls();
    void RenderSettingsTab();
    void RenderBoolCvar(const char* cvarName, const char* label);
    void RenderFloatCvar(const char* cvarName, const char* label, const float& min,
                         const float& max);
    bool CvarIsOn(const char* cvarName);
    void DeferOnRow(const char* what, int index, const std::filesystem::path& file,
                    void (Gyrolog::*action)(int));
    void DrawStatusOverlay(CanvasWrapper canvas);
    // The Inputs tab: the run's frames as a table and a graph.
    void RenderInputsTab();

    // ---- Shared with the render thread, which draws the settings page. ----
    //
    // Guards the loaded run's name and the fields the run editor shows and
    // edits in place (starting states, hitbox, sensitivities), and the arrays
    // the Inputs tab reads (inputs, teleports, a stopped run's pending frames
    // and CurrentFrame), which the game thread changes only under it; the tick
    // only reads the inputs. The page holds it while it draws them and makes
    // no host call meanwhile; the game thread takes it only briefly, to copy
    // the editable ones, to swap in a run read aside or to merge, never
    // across file work.
    std::mutex LoadedTasLock;
    // The run engine's per-tick path takes no lock: the page never touches
    // what it uses, and the run state it shows (State, InputsApplied,
    // LiveFrame) is atomic.
    Tas LoadedTas;
    // While a save writes the run, its inputs and teleports are lent to the
    // copy it writes: the Inputs tab reads them there. Under LoadedTasLock.
    const TasData* LentRun = nullptr;
    // Written whole by the game thread, read whole by the page.
    SharedValue<ReplayCheckView> ReplayCheck;
    // The frames being recorded, as the page shows them: it has its own lock.
    LiveRecording LiveTail;
    // The run-file list and the unsaved runs found at load, published whole
    // by the game thread: the page draws from the snapshot it took.
    Published<std::vector<TasFile>> TasFiles;
    Published<std::vector<FoundRecovery>> FoundRecoveries;
    // The game's freeplay test for the Controls tab, kept current on the game
    // thread by the canvas drawable and by an action each drawn page frame
    // hands to Execute.
    std::atomic<bool> InFreeplay = false;
    // Set by onLoad before the page is first drawn, then only read.
    std::filesystem::path DataFolder;

    // ---- Game thread only (checked in our builds: GuardedOnGame). ----
    //
    // Ticks of the local car left in which a teleport is the one just seen
    // reported again.
    uint32_t TeleportCooldownTicks = 0;
    GameSpeedMode SpeedMode = GameSpeedMode::None;
    uint64_t StopCount = 0; // a start whose timers see it changed was stopped
    // The console variables' mirrors, written by the host's binding.
    std::shared_ptr<bool> AutoReplay;
    std::shared_ptr<float> ReplaySpeed;
    std::shared_ptr<float> RecordSpeed;
    std::shared_ptr<bool> CheckThrottle;
    std::shared_ptr<bool> CheckSteer;
    std::shared_ptr<bool> CheckAirRoll;
    std::shared_ptr<bool> CheckHandbrake;
    std::shared_ptr<bool> CheckJump;
    std::shared_ptr<bool> CheckBoost;
    std::shared_ptr<float> DriftTolerance;
    std::shared_ptr<float> SeekSpeed;
    std::shared_ptr<bool> QuickSeek;
    std::shared_ptr<bool> ShowFrame;
    bool DriftChecking = false; // this replay has a trace and has not drifted yet
    // The run editor's and the branches' reach into the plugin: the console,
    // toasts, the run engine's stop, the replay check the page shows, timers
    // and the drift tolerance.
    struct EditorHost final : RunEditorHost, RunBranchesHost {
        explicit EditorHost(Gyrolog& plugin) : Plugin(plugin) {}
        void Log(const std::string& text) override;
        void Toast(const std::string& text, ToastKind kind) override;
        void Later(std::function<void()> next) override;
        float DriftTolerance() override;
        void StopRun() override;
        void PublishRunCheck(bool newRun) override;
        void DropStaleTrace() override;
        void BeforeRunChanges() override;
        // The replay check as the page shows it, for the frames or trace now.
        void PublishCheck(bool newRun);
        Gyrolog& Plugin;
    };
    EditorHost Host{*this};
    // The loaded run's history, frame edits, page edits, replacement and
    // journal; its Undo and Redo texts are read under LoadedTasLock.
    RunEditor Editor{LoadedTas, LoadedTasLock, Host};
    // The loaded run's branches; the page reads their View.
    RunBranches Branches{LoadedTas, LoadedTasLock, Editor, Host};

    // ---- Render thread only. ----
    int32_t SelectedFile = -1;
    std::filesystem::path SelectedFilePath; // the file of that row when it was clicked
    std::string NewTasName;
    // The starting states before the edit in progress, and the run edited.
    std::optional<std::pair<StartingState, StartingState>> StartsBeforeEdit;
    uint64_t StartsEditRun = 0;
    int RerecordFrameField = 0;
    bool NewTasWarningPending = false;
    bool NotInFreeplay = false;
    bool ControlsDisabled = false;
    bool StopDisabled = false;
    bool UpdateDisabled = false;
    // The Inputs tab's selection, follow and scroll requests.
    inputs::InputsTabState InputsTab;
    // The Branches section's name field and the branch its delete asks about.
    branches::SectionState BranchesSection;
};

extern "C" {
BAKKESMOD_PLUGIN_EXPORT uintptr_t getPlugin();
BAKKESMOD_PLUGIN_EXPORT void deleteMe();
extern BAKKESMOD_PLUGIN_EXPORT BakkesMod::Plugin::PluginInfo exports;
}
