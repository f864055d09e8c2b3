#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/Engine/ActorWrapper.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

class BoostWrapper;

class BAKKESMOD_PLUGIN_IMPORT VehicleWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
    Vector GetLocalCollisionExtent();
    // Set by a jump from the ground and by the second jump or flip after it;
    // both clear when the wheels touch the ground again.
    unsigned long GetbJumped();
    void SetbJumped(unsigned long newbJumped);
    unsigned long GetbDoubleJumped();
    void SetbDoubleJumped(unsigned long newbDoubleJumped);
    BoostWrapper GetBoostComponent();
};
