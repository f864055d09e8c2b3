#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

#include <filesystem>
#include <functional>
#include <string>

class CanvasWrapper;
class CarWrapper;
class ServerWrapper;
class SettingsWrapper;

// The game as one plugin sees it; hooks, timers and drawables registered
// through it are owned by that plugin and removed when the plugin unloads.
class BAKKESMOD_PLUGIN_IMPORT GameWrapper {
public:
    explicit GameWrapper(uintptr_t context) : context_(context) {}

    bool IsInFreeplay();
    CarWrapper GetLocalCar();
    ServerWrapper GetCurrentGameState();
    SettingsWrapper GetSettings();
    std::filesystem::path GetDataFolder();
    Vector2 GetScreenSize();

    void HookEvent(std::string eventName, std::function<void(std::string eventName)> callback);
    void HookEventPost(std::string eventName, std::function<void(std::string eventName)> callback);
    // Runs before the event; params points at the event's parameter block.
    template <typename T>
    void HookEventWithCaller(
        std::string eventName,
        std::function<void(T caller, void* params, std::string eventName)> callback) {
        HookEventWithCallerAddress(std::move(eventName),
                                   [callback](uintptr_t caller, void* params, std::string name) {
                                       callback(T(caller), params, std::move(name));
                                   });
    }

    void SetTimeout(std::function<void(GameWrapper*)> theLambda, float time);
    // Runs the callback on the game thread, before the next tick or frame.
    void Execute(std::function<void(GameWrapper*)> theLambda);

    void RegisterDrawable(std::function<void(CanvasWrapper)> callback);
    void UnregisterDrawables();

    void Toast(std::string title, std::string text, std::string texture = "default",
               float timeout = 3.5f, uint8_t toastType = 0, float width = 290.0f,
               float height = 60.0f);

private:
    void HookEventWithCallerAddress(std::string eventName,
                                    std::function<void(uintptr_t, void*, std::string)> callback);

    uintptr_t context_;
};
