#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/Engine/ObjectWrapper.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

class BAKKESMOD_PLUGIN_IMPORT ActorWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;

    Vector GetLocation();
    void SetLocation(const Vector location);
    Rotator GetRotation();
    void SetRotation(const Rotator rotation);
    Vector GetVelocity();
    void SetVelocity(const Vector velocity);
    Vector GetAngularVelocity();
    void SetAngularVelocity(const Vector v, bool addToCurrent);
};
