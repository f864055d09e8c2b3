#pragma once

// What the Inputs tab shows of a run, free of Dear ImGui: which row holds
// which frame, the selection, the graph's window and the cells' texts.
#include "runs/record/VehicleInput.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace inputs {

// The table's columns, spelled as the CSV export spells them.
constexpr std::array<const char*, 14> ColumnNames = {
    "frame",          "throttle",     "steer",         "pitch",      "yaw",
    "roll",           "flip_forward", "flip_sideways", "handbrake",  "jump",
    "activate_boost", "boost_held",   "jump_held",     "other_flags"};

// The five analog controls the graph draws, in this order.
constexpr std::array<float VehicleInput::*, 5> GraphedControls = {
    &VehicleInput::Throttle, &VehicleInput::Steer, &VehicleInput::Pitch, &VehicleInput::Yaw,
    &VehicleInput::Roll};

// The named flags, in the columns' order; the graph draws them as bars.
constexpr std::array<uint32_t, 5> NamedFlags = {
    VehicleInputFlag::Handbrake, VehicleInputFlag::Jump, VehicleInputFlag::ActivateBoost,
    VehicleInputFlag::BoostHeld, VehicleInputFlag::JumpHeld};

// What a row of the table holds.
enum class RowKind {
    Run,      // a frame of the run
    Pending,  // a frame recorded since a take-over, not merged yet: read only
    Replaced, // a frame of the run that the pending frames replace when applied
};

struct Row {
    RowKind Kind = RowKind::Run;
    uint64_t Frame = 0; // the frame number it shows
    uint64_t Index = 0; // into Data.Inputs, or into PendingInputs for a pending row
};

// The rows: the run's frames, and a stopped take-over's pending frames right
// after the frames the replay played before it, followed by the run's frames
// they replace.
struct RowLayout {
    uint64_t RunFrames = 0;
    uint64_t TakeOver = 0; // the first pending frame; at most RunFrames
    uint64_t Pending = 0;

    RowLayout() = default;
    RowLayout(uint64_t runFrames, uint64_t takeOver, uint64_t pending);
    uint64_t Rows() const { return RunFrames + Pending; }
    Row At(uint64_t row) const;
    // The row that shows the run's frame (not a pending one).
    uint64_t RowOfRunFrame(uint64_t frame) const;
};

// A frame or a range of the run's frames. Shift+click extends from the frame
// clicked last without Shift.
struct Selection {
    std::optional<uint64_t> Anchor;
    uint64_t First = 0;
    uint64_t Last = 0;

    bool Any() const { return Anchor.has_value(); }
    bool Holds(uint64_t frame) const { return Any() && frame >= First && frame <= Last; }
    void Select(uint64_t frame, bool extend);
    // A run whose frames changed or shrank: the selection stays within it.
    void Fit(uint64_t runFrames);
    void Clear() { *this = Selection(); }
    std::string Describe() const;
};

// The rows [First, Last] of a graph of width rows around center, within the
// table's rows; Last < First when there are none.
struct RowWindow {
    uint64_t First = 0;
    uint64_t Last = 0;
    bool Empty() const { return Last < First; }
};
RowWindow WindowAround(uint64_t center, uint64_t rows, uint64_t width);

// The cells' texts: floats as the CSV export writes them (the shortest text
// that reads back to the same float), flags 0 or 1, the other bits in hex.
std::string FloatText(float value);
std::string OtherFlagsText(uint32_t flags);
std::array<std::string, ColumnNames.size()> Cells(uint64_t frame, const VehicleInput& input);

// The Inputs tab's own state, touched only on the render thread.
struct InputsTabState {
    Selection Selected; // the range edits apply to: Selected.First to Selected.Last
    bool Follow = true; // keep the frame the car plays or records in view
    int32_t GoToFrame = 0;
    std::optional<uint64_t> ScrollToRow; // asked for, done in the next table frame
    uint64_t ViewFirstRow = 0;           // the rows the table showed last frame
    uint64_t ViewLastRow = 0;
    // The edit bar: the control Set writes (its CSV name) and its value, the
    // frames Insert adds, and the frames Copy took.
    std::string EditControl = "throttle";
    float EditValue = 0.0f;
    int32_t InsertCount = 1;
    std::vector<VehicleInput> Clipboard;
};

} // namespace inputs
