#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"

#include <cstdint>
#include <vector>

// Everything placing the car and the ball restores, at one traced frame,
// taken where that frame's trace entry is: before its input moved them.
// Placing one and playing on from its frame replays the recording there, as
// far as the game's state is in it.
struct Keyframe {
    uint64_t Frame = 0;
    Vector CarLocation;
    Rotator CarRotation;
    Vector CarVelocity;
    Vector CarAngularVelocity;
    float Boost = 0.0f;  // as the car's boost component holds it: 0 to 1
    uint32_t Jumped = 0; // the vehicle's jump flags, 0 or 1
    uint32_t DoubleJumped = 0;
    Vector BallLocation; // zero when there was no ball
    Rotator BallRotation;
    Vector BallVelocity;
    Vector BallAngularVelocity;
    uint32_t HasBall = 0; // 1 when the game had a ball
};
static_assert(sizeof(Keyframe) == 120, "one keyframe is 120 bytes on disk and in memory");

// A keyframe is kept at frame 0, every KeyframeInterval frames and at each
// teleport frame.
constexpr uint64_t KeyframeInterval = 120;

// Whether a frame of the run gets a keyframe; teleports ascending.
bool IsKeyframeFrame(uint64_t frame, const std::vector<uint64_t>& teleports);

// The last keyframe at or before frame, or nullptr; keyframes ascending.
const Keyframe* KeyframeAtOrBefore(const std::vector<Keyframe>& keyframes, uint64_t frame);

// Drops the keyframes of frame frames and after: those of a trace cut there.
void CutKeyframes(std::vector<Keyframe>& keyframes, uint64_t frames);
