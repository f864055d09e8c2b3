#include "Gyrolog.h"

namespace {

// The plugin owner: the host reads the plugin through its address.
std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin> Plugin;

} // namespace

uintptr_t getPlugin() {
    if (!Plugin) {
        Plugin = std::make_shared<Gyrolog>();
    }
    return reinterpret_cast<uintptr_t>(&Plugin);
}

void deleteMe() {
    Plugin.reset();
}

BakkesMod::Plugin::PluginInfo exports = {
    BAKKESMOD_PLUGIN_API_VERSION,
    "Gyrolog/Gyrolog.cpp",
    "Gyrolog",
    "Gyrolog V1.1",
    "1.0.0.4",
    PLUGINTYPE_FREEPLAY,
    &getPlugin,
    &deleteMe,
};
