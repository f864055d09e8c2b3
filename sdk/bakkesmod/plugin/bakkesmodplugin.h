#pragma once

#include "bakkesmod/SdkApi.h"
#include "bakkesmod/wrappers/CVarManagerWrapper.h"
#include "bakkesmod/wrappers/GameWrapper.h"

#include <cstdint>
#include <memory>

namespace BakkesMod::Plugin {

constexpr int32_t BAKKESMOD_PLUGIN_API_VERSION = 95;

enum PluginType : int32_t {
    PLUGINTYPE_FREEPLAY = 1 << 0,
    PLUGINTYPE_CUSTOM_TRAINING = 1 << 1,
    PLUGINTYPE_SPECTATOR = 1 << 2,
    PLUGINTYPE_BOTAI = 1 << 3,
    PLUGINTYPE_REPLAY = 1 << 4,
    PLUGINTYPE_THREADED = 1 << 5,
};

// The record a plugin exports under the name "exports". getPlugin returns the
// address of the plugin's owning std::shared_ptr<BakkesModPlugin>.
struct PluginInfo {
    int32_t apiBuildVersion;
    const char* fileName;
    const char* className;
    const char* pluginName;
    const char* pluginVersion;
    int32_t pluginType;
    uintptr_t (*initializeFunc)();
    void (*deleteFunc)();
};

class BAKKESMOD_SDK_API BakkesModPlugin {
public:
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;

    virtual void onLoad() {}
    virtual void onUnload() {}
    virtual ~BakkesModPlugin() = default;
};

} // namespace BakkesMod::Plugin
