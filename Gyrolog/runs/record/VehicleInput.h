#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"

#include <cstdint>

// Bits of VehicleInput::Flags. The game leaves the remaining bits as it likes;
// they are carried through untouched.
namespace VehicleInputFlag {
constexpr uint32_t Handbrake = 1u << 0;
constexpr uint32_t Jump = 1u << 1;
constexpr uint32_t ActivateBoost = 1u << 2;
constexpr uint32_t BoostHeld = 1u << 3;
constexpr uint32_t JumpHeld = 1u << 4;
} // namespace VehicleInputFlag

// One tick of car controls: the host's ControllerInput read as plain data, so
// that the whole flag word is copied, compared and stored as one value.
struct VehicleInput {
    float Throttle = 0.0f;
    float Steer = 0.0f;
    float Pitch = 0.0f;
    float Yaw = 0.0f;
    float Roll = 0.0f;
    float FlipForward = 0.0f;
    float FlipSideways = 0.0f;
    uint32_t Flags = 0;
};
static_assert(sizeof(VehicleInput) == 32, "VehicleInput is the run file's 32-byte record");
static_assert(sizeof(VehicleInput) == sizeof(ControllerInput),
              "the vehicle-input event's parameter block is read as a VehicleInput");
