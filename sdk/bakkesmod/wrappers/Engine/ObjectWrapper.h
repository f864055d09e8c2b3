#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"

#include <string>

// Game objects are value handles on an object address; a handle tests true
// while its object is alive.
class BAKKESMOD_PLUGIN_IMPORT ObjectWrapper {
public:
    explicit ObjectWrapper(uintptr_t mem) : memory_address(mem) {}
    explicit operator bool() const;
    bool IsNull() const { return !static_cast<bool>(*this); }

    uintptr_t memory_address = 0;
};
