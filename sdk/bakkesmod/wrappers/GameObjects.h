#pragma once

#include "bakkesmod/SdkApi.h"
#include "bakkesmod/wrappers/WrapperStructs.h"

#include <cstdint>

// Game objects are value handles on an object address; a handle tests true
// while its object is alive.
class BAKKESMOD_SDK_API ObjectWrapper {
public:
    explicit ObjectWrapper(uintptr_t address) : memory_address(address) {}
    explicit operator bool() const;
    bool IsNull() const { return !static_cast<bool>(*this); }

    uintptr_t memory_address = 0;
};

class BAKKESMOD_SDK_API ActorWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;

    Vector GetLocation() const;
    void SetLocation(Vector location);
    Rotator GetRotation() const;
    void SetRotation(Rotator rotation);
    Vector GetVelocity() const;
    void SetVelocity(Vector velocity);
    Vector GetAngularVelocity() const;
    void SetAngularVelocity(Vector angularVelocity, bool addToCurrent);
};

class BAKKESMOD_SDK_API VehicleWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
    Vector GetLocalCollisionExtent() const;
};

class BAKKESMOD_SDK_API CarWrapper : public VehicleWrapper {
public:
    using VehicleWrapper::VehicleWrapper;
};

// Two car handles are the same car when their object addresses are equal.
inline bool operator==(const CarWrapper& a, const CarWrapper& b) {
    return a.memory_address == b.memory_address;
}

class BAKKESMOD_SDK_API BallWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
};

class BAKKESMOD_SDK_API ServerWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;
    BallWrapper GetBall() const;
};
