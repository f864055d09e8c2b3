#pragma once

#include "bakkesmod/SdkApi.h"
#include "bakkesmod/wrappers/WrapperStructs.h"

#include <cstdint>

class BAKKESMOD_SDK_API SettingsWrapper {
public:
    explicit SettingsWrapper(uintptr_t settings) : memory_address(settings) {}
    GamepadSettings GetGamepadSettings() const;

    uintptr_t memory_address = 0;
};
