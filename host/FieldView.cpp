#include "FieldView.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr float HalfWidth = 4096.0f;  // the side walls at X = -4096 and 4096
constexpr float HalfLength = 5120.0f; // the back walls at Y = -5120 and 5120
constexpr float GoalHalfWidth = 893.0f;
constexpr float GoalDepth = 880.0f;
constexpr float CentreRadius = 1000.0f;
constexpr float BallRadius = 92.75f;
constexpr float CarLength = 240.0f; // drawn larger than the car so the heading shows
// A car at full boost covers about 20 units in a tick.
constexpr float LongestDrive = 100.0f;
constexpr float RotationUnitsPerRadian = 32768.0f / 3.14159265f;

const ImU32 Grass = IM_COL32(38, 84, 52, 255);
const ImU32 Lines = IM_COL32(150, 190, 160, 255);
const ImU32 BlueGoal = IM_COL32(60, 110, 220, 255);
const ImU32 OrangeGoal = IM_COL32(230, 130, 40, 255);
const ImU32 BallColor = IM_COL32(225, 225, 210, 255);
const ImU32 CarColor = IM_COL32(70, 150, 255, 255);

// Game units to screen pixels: X to the right, Y up the screen, the orange
// goal (positive Y) at the top.
struct Projection {
    ImVec2 centre;
    float scale;
    ImVec2 operator()(const Vector& v) const {
        return ImVec2(centre.x + v.X * scale, centre.y - v.Y * scale);
    }
};

} // namespace

void CarTrail::Add(const Vector& location) {
    if (!points_.empty() &&
        std::hypot(location.X - points_.back().X, location.Y - points_.back().Y) > LongestDrive) {
        points_.clear();
    }
    points_.push_back(location);
    if (points_.size() > Ticks) {
        points_.pop_front();
    }
}

FieldPath CarTrail::Path(uint32_t color) const {
    return FieldPath{{points_.begin(), points_.end()}, color};
}

std::optional<size_t> PartingPoint(const std::vector<Vector>& a, const std::vector<Vector>& b,
                                   float tolerance) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        const float dx = a[i].X - b[i].X, dy = a[i].Y - b[i].Y, dz = a[i].Z - b[i].Z;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) > tolerance) {
            return i;
        }
    }
    return std::nullopt;
}

FieldScene LookAt(const World& world, std::vector<FieldPath> paths, std::vector<FieldMark> marks) {
    FieldScene scene;
    if (const Ball* ball = world.GetBall()) {
        scene.ball = ball->location;
    }
    if (const Car* car = world.LocalCar()) {
        scene.car = car->location;
        scene.carYaw = car->rotation.Yaw;
    }
    scene.paths = std::move(paths);
    scene.marks = std::move(marks);
    return scene;
}

void DrawField(ImDrawList& list, float left, float top, float right, float bottom,
               const FieldScene& scene) {
    const float length = 2 * (HalfLength + GoalDepth);
    const float scale = std::min((right - left) / (2 * HalfWidth), (bottom - top) / length);
    const Projection at{ImVec2((left + right) * 0.5f, (top + bottom) * 0.5f), scale};

    for (float side : {-1.0f, 1.0f}) {
        list.AddRectFilled(at({-GoalHalfWidth, side * (HalfLength + GoalDepth), 0}),
                           at({GoalHalfWidth, side * HalfLength, 0}),
                           side > 0 ? OrangeGoal : BlueGoal);
    }
    list.AddRectFilled(at({-HalfWidth, HalfLength, 0}), at({HalfWidth, -HalfLength, 0}), Grass);
    list.AddRect(at({-HalfWidth, HalfLength, 0}), at({HalfWidth, -HalfLength, 0}), Lines, 0, 0,
                 2.0f);
    list.AddLine(at({-HalfWidth, 0, 0}), at({HalfWidth, 0, 0}), Lines, 1.5f);
    list.AddCircle(at({0, 0, 0}), CentreRadius * scale, Lines, 48, 1.5f);

    for (const FieldPath& path : scene.paths) {
        std::vector<ImVec2> points;
        for (const Vector& point : path.points) {
            points.push_back(at(point));
        }
        if (points.size() >= 2) {
            list.AddPolyline(points.data(), static_cast<int>(points.size()), path.color, 0, 2.5f);
        }
    }

    for (const FieldMark& mark : scene.marks) {
        const ImVec2 centre = at(mark.at);
        list.AddCircle(centre, 14.0f, mark.color, 24, 3.0f);
        list.AddText(ImVec2(centre.x + 18.0f, centre.y - 8.0f), mark.color, mark.label.c_str());
    }

    if (scene.ball) {
        list.AddCircleFilled(at(*scene.ball), std::max(4.0f, BallRadius * scale), BallColor);
    }
    if (scene.car) {
        // An arrow head: its point is the car's nose.
        const float yaw = static_cast<float>(scene.carYaw) / RotationUnitsPerRadian;
        const float half = std::max(16.0f, CarLength * scale) * 0.5f;
        const ImVec2 centre = at(*scene.car);
        const ImVec2 forward(std::cos(yaw), -std::sin(yaw)); // screen Y runs down
        const ImVec2 side(-forward.y, forward.x);
        const ImVec2 nose(centre.x + forward.x * half * 1.4f, centre.y + forward.y * half * 1.4f);
        const ImVec2 rearLeft(centre.x - forward.x * half + side.x * half * 0.8f,
                              centre.y - forward.y * half + side.y * half * 0.8f);
        const ImVec2 rearRight(centre.x - forward.x * half - side.x * half * 0.8f,
                               centre.y - forward.y * half - side.y * half * 0.8f);
        list.AddTriangleFilled(nose, rearLeft, rearRight, CarColor);
    }
}

} // namespace sim
