#pragma once

#include "Console.h"
#include "FieldView.h"
#include "Ui.h"
#include "World.h"
#include "bakkesmod/plugin/PluginSettingsWindow.h"
#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/wrappers/canvaswrapper.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// Event names the game fires and plugins hook.
namespace Events {
inline const std::string SetVehicleInput = "Function TAGame.Car_TA.SetVehicleInput";
inline const std::string Teleport = "Function TAGame.Car_TA.Teleport";
inline const std::string StartRound = "Function GameEvent_Soccar_TA.Active.StartRound";
inline const std::string Destroyed = "Function TAGame.GameEvent_TA.Destroyed";
} // namespace Events

struct ToastRecord {
    std::string title;
    std::string text;
    std::string texture;
    float timeout;
    uint8_t type;
    float width;
    float height;
};

struct CanvasString {
    std::string text;
    Vector2F position;
    float xScale;
    float yScale;
    bool dropShadow;
    bool wrap;
    unsigned char color[4];
};

struct Canvas {
    Vector2 screen;
    unsigned char color[4] = {255, 255, 255, 255};
    Vector2F position;
    std::vector<CanvasString> strings;
};

// What the game side of one frame hands the render thread.
struct GameFrame {
    Vector2 screen;
    std::vector<CanvasString> canvas;
    FieldScene field;
};

class Host;

// What one plugin's wrappers point at.
struct PluginContext {
    Host* host;
    OwnerId owner;
};

// The simulated host and game. One Host at a time: wrappers that carry no
// plugin context (objects, variables) reach it as the current one.
//
// Threads, as in the real host: the game loop (ticks, hooks, timers, the
// console, the Execute queue, the canvas drawables) runs on the thread that
// drives the Host, the game thread; the plugin window is drawn on the Ui's
// render thread. The records, the Execute queue and the console variables'
// values may be reached from both.
class Host {
public:
    explicit Host(std::filesystem::path dataFolder);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host* Current();

    // Every transcript line, in order; also passed to Output when it is set.
    // The records are read on the game thread while the page is not drawn
    // freely.
    std::function<void(const std::string&)> Output;
    const std::vector<std::string>& Transcript() const { return transcript_; }
    const std::vector<ToastRecord>& Toasts() const { return toasts_; }
    const std::vector<std::string>& Logs() const { return logs_; }
    const std::vector<std::string>& ExecutedCommands() const { return executed_; }
    const std::vector<std::string>& Errors() const { return errors_; }
    void ClearRecords();

    // Plugin loading, the way the real host does it: from the library's
    // exported record. The library form opens the file; the record form is
    // for a plugin linked into the host's process.
    bool LoadPluginLibrary(const std::filesystem::path& path);
    bool LoadPlugin(const BakkesMod::Plugin::PluginInfo& info);
    void UnloadPlugin();
    // The game crashes: the process ends at once with status 3, the plugin
    // neither unloaded nor destroyed. Only the transcript so far is flushed.
    [[noreturn]] static void Crash();
    BakkesMod::Plugin::BakkesModPlugin* Plugin() const;
    BakkesMod::Plugin::PluginSettingsWindow* SettingsWindow() const;
    const BakkesMod::Plugin::PluginInfo* PluginRecord() const { return record_; }

    // Console.
    Console& GetConsole() { return console_; }
    void RunLine(const std::string& line);
    void AddHostCommand(const std::string& name,
                        std::function<void(const std::vector<std::string>&)> run);

    // Game.
    World& GetWorld() { return world_; }
    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    float GameSpeed();
    double Clock() const { return clock_; }
    uint64_t TickCount() const { return tickCount_; }
    Vector2 screen{1920, 1080};

    // Runs ticks with the player's live controls; stops early while the game
    // is paused (a game speed of 0 or below).
    void Tick(int count, const ControllerInput& live);
    std::function<void(uint64_t tick, const ControllerInput& used)> OnLocalTick;
    bool Teleport(const Vector& location);
    // Moves the local car by offset at once, without the teleport event: the
    // game drifts from a recording only when told to.
    bool Nudge(const Vector& offset);
    bool RoundStart();
    void DestroyGameEvent();
    void Wait(double seconds);
    void AddHostTimer(double seconds, std::function<void()> run);
    void RunExecuteQueue();
    std::vector<CanvasString> DrawCanvas();
    // The game side of one frame, on the game thread: runs the Execute queue,
    // draws the canvas and looks at the field. The last one stays for frames
    // drawn freely.
    GameFrame RunGameFrame();
    GameFrame LastGameFrame();
    FieldScene LookAtField() const;
    // Paths kept under a name: while one is being marked, every tick adds
    // the local car's location before the tick moves it, so point k of a
    // path begun as a replay begins is where the replay's frame k starts.
    struct MarkedPath {
        std::string name;
        std::vector<Vector> points;
    };
    void MarkPath(const std::string& name); // replaces a path of that name
    void StopMarking() { marking_ = -1; }
    void ClearPaths();
    const std::vector<MarkedPath>& Paths() const { return paths_; }
    Ui& GetUi() { return *ui_; }

    // Called by the SDK implementation on behalf of a plugin.
    void Log(const std::string& text);
    void Exec(const std::string& command, bool log);
    void Error(const std::string& text);
    void AddToast(ToastRecord toast);
    void Guard(const std::function<void()>& call);
    void Hook(OwnerId owner, const std::string& event, bool post,
              std::function<void(std::string)> run);
    void HookWithCaller(OwnerId owner, const std::string& event,
                        std::function<void(uintptr_t, void*, std::string)> run);
    void AddTimer(OwnerId owner, double seconds, std::function<void()> run);
    void AddExecute(OwnerId owner, std::function<void()> run);
    void AddDrawable(OwnerId owner, std::function<void(CanvasWrapper)> run);
    void RemoveDrawables(OwnerId owner);
    void Print(const std::string& line);
    // A game function called from the render thread: reports it and returns
    // true, and the caller does nothing.
    bool RefusedOnRenderThread(const char* function);

private:
    struct HookEntry {
        OwnerId owner;
        bool post;
        std::function<void(std::string)> run;
        std::function<void(uintptr_t, void*, std::string)> runWithCaller;
    };
    struct Timer {
        double due;
        uint64_t order;
        OwnerId owner;
        std::function<void()> run;
    };
    struct Queued {
        OwnerId owner;
        std::function<void()> run;
    };
    struct Drawable {
        OwnerId owner;
        std::function<void(CanvasWrapper)> run;
    };

    void FireEvent(const std::string& event, bool post);
    void FireVehicleInput(Car& car, ControllerInput& input);
    void AdvanceClockTo(double target);
    void DropOwner(OwnerId owner);
    void PrintLocked(const std::string& line);

    std::filesystem::path dataFolder_;
    std::mutex recordsMutex_; // the five records and Output
    std::vector<std::string> transcript_;
    std::vector<ToastRecord> toasts_;
    std::vector<std::string> logs_;
    std::vector<std::string> executed_;
    std::vector<std::string> errors_;

    Console console_;
    World world_;
    CarTrail trail_;
    std::vector<MarkedPath> paths_;
    int marking_ = -1; // index into paths_, -1 for none
    double clock_ = 0;
    uint64_t tickCount_ = 0;
    uint64_t timerOrder_ = 0;
    std::vector<Timer> timers_;
    std::mutex executeMutex_;
    std::vector<Queued> executeQueue_;
    std::mutex lastFrameMutex_;
    GameFrame lastFrame_;
    std::vector<Drawable> drawables_;
    std::map<std::string, std::vector<HookEntry>> hooks_;

    // The loaded plugin.
    void* library_ = nullptr;
    const BakkesMod::Plugin::PluginInfo* record_ = nullptr;
    std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin>* owner_ = nullptr;
    std::vector<std::unique_ptr<PluginContext>> contexts_;
    OwnerId loadedOwner_ = HostOwner;
    std::unique_ptr<Ui> ui_;
};

} // namespace sim
