#pragma once

#include "bakkesmod/SdkApi.h"

#include <cstdint>
#include <string>

namespace BakkesMod::Plugin {

// A page in the host's plugin window, drawn with the host's Dear ImGui context.
class BAKKESMOD_SDK_API PluginSettingsWindow {
public:
    virtual ~PluginSettingsWindow() = default;
    virtual void DrawSettingsPage() = 0;
    virtual std::string GetPageName() = 0;
    virtual void SetUiContext(uintptr_t context) = 0;
};

} // namespace BakkesMod::Plugin
