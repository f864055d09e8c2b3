#pragma once

#include <cstdint>

struct Vector {
    float X = 0.0f;
    float Y = 0.0f;
    float Z = 0.0f;
};

// Unreal rotation units: 65536 is one full turn.
struct Rotator {
    int32_t Pitch = 0;
    int32_t Yaw = 0;
    int32_t Roll = 0;
};

struct Vector2 {
    int32_t X = 0;
    int32_t Y = 0;
};

struct Vector2F {
    float X = 0.0f;
    float Y = 0.0f;
};

// Bits of VehicleInput::Flags. The game leaves the remaining bits as it likes;
// they are carried through untouched.
namespace VehicleInputFlag {
constexpr uint32_t Handbrake = 1u << 0;
constexpr uint32_t Jump = 1u << 1;
constexpr uint32_t ActivateBoost = 1u << 2;
constexpr uint32_t BoostHeld = 1u << 3;
constexpr uint32_t JumpHeld = 1u << 4;
} // namespace VehicleInputFlag

// One tick of car controls, exactly as the vehicle-input event carries it.
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
static_assert(sizeof(VehicleInput) == 32, "VehicleInput is the game's 32-byte record");

struct GamepadSettings {
    float ControllerDeadzone = 0.5f;
    float DodgeInputThreshold = 0.5f;
    float SteeringSensitivity = 1.0f;
    float AirControlSensitivity = 1.0f;
};
