#pragma once

// What the Inputs tab shows of a run, free of Dear ImGui: which row holds
// which frame, the selection, the graph's window and the cells' texts.
#include "runs/edits/FrameEdits.h"
#include "runs/record/Marker.h"
#include "runs/record/RunTrace.h"
#include "runs/record/VehicleInput.h"

#include <algorithm>
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

// The headers the table shows, short enough for every input column to fit
// the page's default width; the CSV's names are their tooltips.
constexpr std::array<const char*, ColumnNames.size()> ColumnHeaders = {
    "frame", "thr", "str", "pit", "yaw", "rol", "ffw",
    "fsw",   "hb",  "jmp", "bst", "bh",  "jh",  "other"};

// The columns that are one control each: throttle to jump_held.
constexpr size_t FirstControlColumn = 1;
constexpr size_t ControlColumns = 12;
std::optional<FrameControl> ControlOfColumn(size_t column);

// The State columns, from the trace and the keyframes.
constexpr std::array<const char*, 5> StateHeaders = {"speed", "height", "boost", "to ball",
                                                     "ball speed"};
constexpr std::array<const char*, 5> StateNames = {"car speed, uu/s", "car height, uu",
                                                   "boost, 0 to 100 (at keyframes)",
                                                   "car to ball, uu", "ball speed, uu/s"};
// Blank texts where the trace does not cover the frame, and for the boost
// where no keyframe is, or for the ball's where there was no ball.
std::array<std::string, StateHeaders.size()> StateCells(const TraceEntry* trace,
                                                        std::optional<float> boost);
float CarSpeed(const TraceEntry& trace);
float BallSpeed(const TraceEntry& trace);

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
    Live,     // a frame being recorded now: read only
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
    bool Recording = false; // the pending frames are being recorded, after the frames kept

    RowLayout(uint64_t runFrames, uint64_t takeOver, uint64_t pending);
    // A recording in progress: the frames kept before its take-over, then
    // the ones recorded since; the run's frames it replaces are not shown.
    static RowLayout Live(uint64_t kept, uint64_t recorded);
    uint64_t Rows() const { return Recording ? TakeOver + Pending : RunFrames + Pending; }
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
    // The end that moves: the frame last selected, extended to or not.
    uint64_t Cursor() const { return Anchor && *Anchor == First ? Last : First; }
    // Moves the cursor by delta frames within the run, extending or not.
    void Move(int64_t delta, bool extend, uint64_t runFrames);
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
// The frames the rows of window show, in words: "frames 0 to 299", or with
// pending frames "frames 0 to 1, new 2 to 3, replaced 2 to 5".
std::string DescribeWindow(const RowLayout& layout, RowWindow window);

// The first row the table shows so that row is in view, shown rows at a
// time: top as it is when the row is in view already, else the row centred.
uint64_t TopShowing(uint64_t top, uint64_t row, uint64_t shown, uint64_t rows);
// top within the rows, with shown rows under it where there are.
uint64_t ClampTop(int64_t top, uint64_t shown, uint64_t rows);

// The cells' texts: floats as the CSV export writes them (the shortest text
// that reads back to the same float), flags 0 or 1, the other bits in hex.
std::string FloatText(float value);
std::string OtherFlagsText(uint32_t flags);
// A cell's short text: at most two decimals, "0.33" for 0.333333343; the
// exact value is in its tooltip.
std::string ShortFloatText(float value);
std::array<std::string, ColumnNames.size()> Cells(uint64_t frame, const VehicleInput& input);

// The marker of the frame, or nullptr; markers are ascending by frame.
const Marker* MarkerAt(const std::vector<Marker>& markers, uint64_t frame);
// The nearest marker's frame before, or after, frame.
std::optional<uint64_t> MarkerBefore(const std::vector<Marker>& markers, uint64_t frame);
std::optional<uint64_t> MarkerAfter(const std::vector<Marker>& markers, uint64_t frame);

// A press on a control's cell dragged along its column: the value goes on
// every frame from From to To when the mouse is let go.
struct Paint {
    uint64_t From = 0;
    uint64_t To = 0;
    FrameControl Control = FrameControl::Throttle;
    float Value = 0.0f;
    bool Holds(uint64_t frame) const {
        return frame >= std::min(From, To) && frame <= std::max(From, To);
    }
};

// The Inputs tab's own state, touched only on the render thread.
struct InputsTabState {
    Selection Selected; // the range edits apply to: Selected.First to Selected.Last
    bool Follow = true; // keep the frame the car plays or records in view
    std::string GoToText = "0";
    std::optional<uint64_t> ScrollToRow; // asked for: done in this frame's table
    uint64_t TopRow = 0;                 // the first row the table shows
    uint64_t ViewFirstRow = 0;           // the rows the table showed last frame
    uint64_t ViewLastRow = 0;
    bool ShowState = false;  // the State columns
    bool PlotSpeeds = false; // car and ball speed in the graph
    std::optional<Paint> Painting;
    // A value typed into one control's cell (Ctrl+click, double-click).
    std::optional<Paint> Typing;
    std::string TypedText;
    bool DraggingScrollbar = false;
    std::string MarkerText;
    // The edit bar: the control Set writes (its CSV name) and its value, the
    // frames Insert adds, and the frames Copy took.
    std::string EditControl = "throttle";
    float EditValue = 0.0f;
    int32_t InsertCount = 1;
    std::vector<VehicleInput> Clipboard;
};

} // namespace inputs
