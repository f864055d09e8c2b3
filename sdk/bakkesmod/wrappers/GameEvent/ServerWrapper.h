#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/Engine/ObjectWrapper.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"

class BAKKESMOD_PLUGIN_IMPORT ServerWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;
    BallWrapper GetBall();
};
