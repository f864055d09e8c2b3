#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/GameObject/CarComponent/CarComponentWrapper.h"

// The car's boost: the game holds the amount as a fraction of a full tank,
// 0 to 1, where the player's gauge reads 0 to 100.
class BAKKESMOD_PLUGIN_IMPORT BoostWrapper : public CarComponentWrapper {
public:
    using CarComponentWrapper::CarComponentWrapper;
    float GetCurrentBoostAmount();
    void SetCurrentBoostAmount(float newCurrentBoostAmount);
};
