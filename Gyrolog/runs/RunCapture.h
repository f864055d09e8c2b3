#pragma once

#include "bakkesmod/wrappers/GameObjects.h"
#include "runs/Hitbox.h"

#include <optional>

// The hitbox family of a live car, from the X of its collision extent.
std::optional<HitboxType> DetectHitboxType(const CarWrapper& car);
