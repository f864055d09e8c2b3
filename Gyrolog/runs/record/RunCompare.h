#pragma once

#include "runs/record/Tas.h"

#include <cstdint>
#include <optional>
#include <vector>

// uu between two places.
float Distance(const Vector& a, const Vector& b);

// Whether two frames' inputs are the same, byte for byte, as the run file
// holds them.
bool SameInput(const VehicleInput& a, const VehicleInput& b);

// The first frame whose inputs differ, byte for byte, or where the shorter
// run ends when it is the other's beginning; none when both are the same.
std::optional<uint64_t> FirstDifferingFrame(const std::vector<VehicleInput>& a,
                                            const std::vector<VehicleInput>& b);

struct PathsApart {
    uint64_t Frame = 0;
    float Distance = 0.0f; // uu between the two traced car positions there
};

// Where two runs part, as the console's comparison says it.
struct RunComparison {
    std::optional<uint64_t> FirstDiffering;
    // Over the frames both traces cover: the first whose car positions are
    // farther apart than the tolerance.
    std::optional<PathsApart> FirstApart;
    uint64_t TracedBoth = 0;
    uint64_t FramesA = 0;
    uint64_t FramesB = 0;
};

RunComparison CompareRuns(const TasData& a, const TasData& b, float tolerance);
