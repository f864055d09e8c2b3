#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/GameObject/VehicleWrapper.h"

// No operator==: two car handles are the same car when their memory_address
// fields are equal.
class BAKKESMOD_PLUGIN_IMPORT CarWrapper : public VehicleWrapper {
public:
    using VehicleWrapper::VehicleWrapper;
};
