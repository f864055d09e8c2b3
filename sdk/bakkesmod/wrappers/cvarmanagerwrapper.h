#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/cvarwrapper.h"

#include <functional>
#include <string>
#include <vector>

// The host console as one plugin sees it; everything registered through it is
// owned by that plugin and removed when the plugin unloads.
class BAKKESMOD_PLUGIN_IMPORT CVarManagerWrapper {
public:
    explicit CVarManagerWrapper(uintptr_t context) : context_(context) {}

    CVarWrapper registerCvar(std::string cvar, std::string defaultValue, std::string desc = "",
                             bool searchAble = true, bool hasMin = false, float min = 0,
                             bool hasMax = false, float max = 0, bool saveToCfg = true);
    CVarWrapper getCvar(std::string cvar);
    // The callback receives the whole argument list, command name first.
    void registerNotifier(std::string cvar, std::function<void(std::vector<std::string>)> notifier,
                          std::string description, unsigned char permissions);
    void executeCommand(std::string command, bool log = true);
    void log(std::string text);

private:
    uintptr_t context_;
};
