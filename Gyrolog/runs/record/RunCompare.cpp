#include "runs/record/RunCompare.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool SameInput(const VehicleInput& a, const VehicleInput& b) {
    return std::memcmp(&a, &b, sizeof(VehicleInput)) == 0;
}

std::optional<uint64_t> FirstDifferingFrame(const std::vector<VehicleInput>& a,
                                            const std::vector<VehicleInput>& b) {
    const size_t both = std::min(a.size(), b.size());
    // memcmp over blocks finds the block fast; the frame is found in it.
    constexpr size_t Block = 1024;
    for (size_t at = 0; at < both; at += Block) {
        const size_t count = std::min(Block, both - at);
        if (std::memcmp(a.data() + at, b.data() + at, count * sizeof(VehicleInput)) == 0) {
            continue;
        }
        for (size_t frame = at;; ++frame) {
            if (!SameInput(a[frame], b[frame])) {
                return frame;
            }
        }
    }
    if (a.size() == b.size()) {
        return std::nullopt;
    }
    return both;
}

float Distance(const Vector& a, const Vector& b) {
    const float x = a.X - b.X, y = a.Y - b.Y, z = a.Z - b.Z;
    return std::sqrt(x * x + y * y + z * z);
}

RunComparison CompareRuns(const TasData& a, const TasData& b, float tolerance) {
    RunComparison result;
    result.FirstDiffering = FirstDifferingFrame(a.Inputs, b.Inputs);
    result.FramesA = a.Inputs.size();
    result.FramesB = b.Inputs.size();
    result.TracedBoth = std::min(a.TracedFrames(), b.TracedFrames());
    for (uint64_t frame = 0; frame < result.TracedBoth; ++frame) {
        const float apart = Distance(a.Trace[frame].CarLocation, b.Trace[frame].CarLocation);
        if (apart > tolerance) {
            result.FirstApart = PathsApart{frame, apart};
            break;
        }
    }
    return result;
}
