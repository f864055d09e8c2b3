#pragma once

// The fixed-width integers come with <string>, as in the host's header.
#include <string>

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

// One tick of car controls, exactly as the vehicle-input event carries it:
// seven floats, then the flags as bits 0 to 4 of one 32-bit word.
struct ControllerInput {
    float Throttle = 0.0f;
    float Steer = 0.0f;
    float Pitch = 0.0f;
    float Yaw = 0.0f;
    float Roll = 0.0f;
    float DodgeForward = 0.0f;
    float DodgeStrafe = 0.0f;
    unsigned long Handbrake : 1 = 0;
    unsigned long Jump : 1 = 0;
    unsigned long ActivateBoost : 1 = 0;
    unsigned long HoldingBoost : 1 = 0;
    unsigned long Jumped : 1 = 0;
};
static_assert(sizeof(ControllerInput) == 32, "ControllerInput is the game's 32-byte record");

struct GamepadSettings {
    float ControllerDeadzone = 0.5f;
    float DodgeInputThreshold = 0.5f;
    float SteeringSensitivity = 1.0f;
    float AirControlSensitivity = 1.0f;
};
