#pragma once

#include "World.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

struct ImDrawList;

namespace sim {

// A line over the field in game units, oldest point first. Drawn as one
// polyline; a gap needs a second path.
struct FieldPath {
    std::vector<Vector> points;
    uint32_t color; // IM_COL32
};

// Where the local car was on each of the last ticks. A jump farther than a
// car drives in one tick (a teleport, a run's start placing the car) starts
// the trail afresh, so no line crosses the field where the car never drove
// and a replay's trail is the replay's alone.
class CarTrail {
public:
    static constexpr size_t Ticks = 600; // five seconds of game time

    void Add(const Vector& location);
    FieldPath Path(uint32_t color) const;

private:
    std::deque<Vector> points_;
};

// A ring with a label at a place on the field.
struct FieldMark {
    Vector at;
    std::string label;
    uint32_t color; // IM_COL32
};

// How far apart two marked paths may be before they count as parted: the
// plugin's default drift tolerance.
constexpr float PartTolerance = 1.0f;

// The first point of b farther than tolerance from the point of a with the
// same index, among the points both have.
std::optional<size_t> PartingPoint(const std::vector<Vector>& a, const std::vector<Vector>& b,
                                   float tolerance);

// The game as a camera high above the field sees it, fitted into the
// rectangle from (left, top) to (right, bottom) in screen pixels: the field
// and its goals, the paths, the ball and the local car with its heading.
void DrawField(ImDrawList& list, float left, float top, float right, float bottom,
               const World& world, const std::vector<FieldPath>& paths,
               const std::vector<FieldMark>& marks = {});

} // namespace sim
