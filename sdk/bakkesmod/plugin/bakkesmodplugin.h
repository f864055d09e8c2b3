#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/GameWrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"

#include <memory>

namespace BakkesMod::Plugin {

// The record a plugin exports under the name "exports". initializeFunc
// returns the address of the plugin's owning std::shared_ptr<BakkesModPlugin>.
struct PluginInfo {
    short apiBuildVersion;
    const char* fileName;
    const char* className;
    const char* pluginName;
    const char* pluginVersion;
    const unsigned long pluginType;
    uintptr_t (*initializeFunc)();
    void (*delFunc)();
};

// The host fills in both handles before it calls onLoad. There is no virtual
// destructor: the plugin's owner destroys the plugin as the type it created.
class BAKKESMOD_PLUGIN_EXPORT BakkesModPlugin {
public:
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;

    virtual void onLoad() {}
    virtual void onUnload() {}
};

} // namespace BakkesMod::Plugin
