#pragma once

#include "bakkesmod/wrappers/GameObject/CarWrapper.h"
#include "runs/record/Hitbox.h"

#include <optional>

// The hitbox family of a live car, from the X of its collision extent.
std::optional<HitboxType> DetectHitboxType(CarWrapper car);
