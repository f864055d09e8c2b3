#pragma once

#include "runs/record/Tas.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the page shows of the loaded run's branches: published whole by the
// game thread (RunBranches), read as a snapshot by the page.
struct BranchRow {
    std::string Name;
    uint64_t Frames = 0;
    // The first frame whose inputs differ from the loaded run's, or where the
    // shorter of the two ends; none when both are the same.
    std::optional<uint64_t> FirstDiffers;
};

struct BranchesView {
    std::string Run;             // whose branches these are
    std::vector<BranchRow> Rows; // by name
    // The branch compared with the loaded run, drawn behind it in the Inputs
    // tab; never changed once published.
    std::string ComparedName;
    std::shared_ptr<const TasData> Compared;
    // A branch is being copied or written: its row shows once it is kept.
    std::string Keeping;
};
