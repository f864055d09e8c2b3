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

// The colour of the local car's trail, IM_COL32(250, 210, 60, 255).
constexpr uint32_t TrailColor = 0xFF3CD2FA;
// Marked paths in the order they were begun (IM_COL32), and where the last
// leaves the first.
constexpr uint32_t PathColors[] = {0xFFFFE65A, 0xFFD25AFF, 0xFFFFFFFF};
constexpr uint32_t PartColor = 0xFF3C3CFF;

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

// What the camera sees of the game, taken on the game thread so that the
// render thread draws it without reaching into the game.
struct FieldScene {
    std::optional<Vector> ball;
    std::optional<Vector> car;
    int32_t carYaw = 0;
    std::vector<FieldPath> paths;
    std::vector<FieldMark> marks;
};
FieldScene LookAt(const World& world, std::vector<FieldPath> paths,
                  std::vector<FieldMark> marks = {});

// The game as a camera high above the field sees it, fitted into the
// rectangle from (left, top) to (right, bottom) in screen pixels: the field
// and its goals, the paths, the ball and the local car with its heading.
void DrawField(ImDrawList& list, float left, float top, float right, float bottom,
               const FieldScene& scene);

} // namespace sim
