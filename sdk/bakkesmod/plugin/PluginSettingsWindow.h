#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"

// Like the host's, this header needs std::string and uintptr_t declared before
// it, as bakkesmodplugin.h brings them.

namespace BakkesMod::Plugin {

// A page in the host's plugin window, drawn with the host's Dear ImGui context.
class BAKKESMOD_PLUGIN_EXPORT PluginSettingsWindow {
public:
    virtual ~PluginSettingsWindow() = default;
    virtual void RenderSettings() = 0;
    virtual std::string GetPluginName() = 0;
    virtual void SetImGuiContext(uintptr_t ctx) = 0;
};

} // namespace BakkesMod::Plugin
