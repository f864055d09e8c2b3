#include "runs/record/Hitbox.h"

#include <cstring>
#include <iterator>

namespace {

struct HitboxEntry {
    HitboxType type;
    const char* name;
    float extentX;
};

// In the order the detection compares them.
constexpr HitboxEntry Hitboxes[] = {
    {HitboxType::Octane, "Octane", 60.2536888f},     {HitboxType::Dominus, "Dominus", 65.2133942f},
    {HitboxType::Breakout, "Breakout", 66.9961777f}, {HitboxType::Plank, "Plank", 65.6598892f},
    {HitboxType::Hybrid, "Hybrid", 64.7595978f},     {HitboxType::Merc, "Merc", 61.6101151f},
};

} // namespace

const char* HitboxName(HitboxType type) {
    for (const auto& entry : Hitboxes) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return "Other";
}

std::optional<HitboxType> HitboxFromExtent(float extentX) {
    for (const auto& entry : Hitboxes) {
        if (extentX == entry.extentX) {
            return entry.type;
        }
    }
    return std::nullopt;
}

std::optional<HitboxType> HitboxFromName(const char* name) {
    for (const auto& entry : Hitboxes) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.type;
        }
    }
    if (std::strcmp(name, "Other") == 0) {
        return HitboxType::Other;
    }
    return std::nullopt;
}
