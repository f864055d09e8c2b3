#pragma once

#include "branches/BranchesView.h"

#include <string>

// The Loaded TAS tab's Branches section: drawn from the published view on
// the render thread; what was clicked is handed back for the game thread.
namespace branches {

// Render thread only.
struct SectionState {
    std::string NewName;
    // The branch the open delete confirmation asks about, and whose it is.
    std::string ToDelete;
    std::string ToDeleteOf;
};

struct Request {
    enum class Kind { None, Keep, Load, Compare, EndCompare, Delete } What = Kind::None;
    std::string Name;
    // The run whose branch was clicked: another run's same name is left alone.
    std::string Run;
};

Request DrawSection(const BranchesView& view, SectionState& state, bool confirmDelete);

} // namespace branches
