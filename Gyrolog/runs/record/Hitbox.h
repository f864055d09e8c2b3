#pragma once

#include <cstdint>
#include <optional>

// Stored in run files: the numbering is fixed.
enum class HitboxType : int32_t {
    Octane = 0,
    Dominus = 1,
    Breakout = 2,
    Plank = 3,
    Hybrid = 4,
    Merc = 5,
    Other = 6,
};

// "Other" for every value outside 0 to 5.
const char* HitboxName(HitboxType type);

// The family whose collision extent X is exactly this float, if any: no
// tolerance, so one unit in the last place or a NaN matches nothing.
std::optional<HitboxType> HitboxFromExtent(float extentX);

// Parses a display name back; nullopt for a name that is none of the seven.
std::optional<HitboxType> HitboxFromName(const char* name);
