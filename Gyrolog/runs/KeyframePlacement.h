#pragma once

#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarWrapper.h"
#include "runs/record/Keyframe.h"
#include "runs/record/RunTrace.h"

#include <cstdint>

// The keyframe of frame, from the game: the frame's trace entry, taken the
// same tick, and what else placement restores. ball may be null.
Keyframe KeyframeNow(CarWrapper& car, BallWrapper ball, uint64_t frame, const TraceEntry& entry);

// Puts the car and the ball (when both the keyframe and the game have one)
// where the keyframe says, with all it holds.
void PlaceKeyframe(CarWrapper& car, BallWrapper ball, const Keyframe& keyframe);
