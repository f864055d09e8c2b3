#pragma once

#include "bakkesmod/SdkApi.h"
#include "bakkesmod/wrappers/CanvasWrapper.h"
#include "bakkesmod/wrappers/GameObjects.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// The game as one plugin sees it; hooks, timers and drawables registered
// through it are owned by that plugin and removed when the plugin unloads.
class BAKKESMOD_SDK_API GameWrapper {
public:
    explicit GameWrapper(uintptr_t context) : context_(context) {}

    bool IsInFreeplay();
    CarWrapper GetLocalCar();
    ServerWrapper GetCurrentGameState();
    SettingsWrapper GetSettings();
    // Needs no game: plugins ask for it while they are being constructed.
    static std::filesystem::path GetDataFolder();

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

    void SetTimeout(std::function<void(GameWrapper*)> callback, float seconds);
    // Runs the callback on the game thread, before the next tick or frame.
    void Execute(std::function<void(GameWrapper*)> callback);

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
