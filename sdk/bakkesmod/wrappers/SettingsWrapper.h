#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

class BAKKESMOD_PLUGIN_IMPORT SettingsWrapper {
public:
    explicit SettingsWrapper(uintptr_t settings) : memory_address(settings) {}
    GamepadSettings GetGamepadSettings();

    uintptr_t memory_address = 0;
};
