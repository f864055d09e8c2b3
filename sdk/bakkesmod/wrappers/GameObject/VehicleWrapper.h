#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/Engine/ActorWrapper.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

class BAKKESMOD_PLUGIN_IMPORT VehicleWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
    Vector GetLocalCollisionExtent();
};
