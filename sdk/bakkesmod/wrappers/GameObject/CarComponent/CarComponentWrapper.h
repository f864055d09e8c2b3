#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/Engine/ActorWrapper.h"

class BAKKESMOD_PLUGIN_IMPORT CarComponentWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
};
