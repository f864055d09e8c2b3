#include "ui/InputsView.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace inputs {

RowLayout::RowLayout(uint64_t runFrames, uint64_t takeOver, uint64_t pending)
    : RunFrames(runFrames), TakeOver(std::min(takeOver, runFrames)), Pending(pending) {}

RowLayout RowLayout::Live(uint64_t kept, uint64_t recorded) {
    RowLayout layout(kept, kept, recorded);
    layout.Recording = true;
    return layout;
}

Row RowLayout::At(uint64_t row) const {
    if (row < TakeOver) {
        return {RowKind::Run, row, row};
    }
    if (row < TakeOver + Pending) {
        return {Recording ? RowKind::Live : RowKind::Pending, row, row - TakeOver};
    }
    const uint64_t frame = row - Pending;
    return {Pending > 0 ? RowKind::Replaced : RowKind::Run, frame, frame};
}

uint64_t RowLayout::RowOfRunFrame(uint64_t frame) const {
    return frame < TakeOver ? frame : frame + Pending;
}

void Selection::Select(uint64_t frame, bool extend) {
    if (!extend || !Anchor) {
        Anchor = frame;
    }
    First = std::min(*Anchor, frame);
    Last = std::max(*Anchor, frame);
}

void Selection::Move(int64_t delta, bool extend, uint64_t runFrames) {
    if (runFrames == 0) {
        return;
    }
    const auto from = static_cast<int64_t>(Any() ? Cursor() : 0);
    const int64_t to = std::clamp<int64_t>(from + delta, 0, static_cast<int64_t>(runFrames) - 1);
    Select(static_cast<uint64_t>(to), extend);
}

void Selection::Fit(uint64_t runFrames) {
    if (!Anchor) {
        return;
    }
    if (runFrames == 0 || First >= runFrames) {
        Clear();
        return;
    }
    Last = std::min(Last, runFrames - 1);
    Anchor = std::min(*Anchor, runFrames - 1);
}

std::string Selection::Describe() const {
    if (!Any()) {
        return "Selected: none";
    }
    if (First == Last) {
        return "Selected: frame " + std::to_string(First);
    }
    return "Selected: frames " + std::to_string(First) + " to " + std::to_string(Last) + " (" +
           std::to_string(Last - First + 1) + ")";
}

RowWindow WindowAround(uint64_t center, uint64_t rows, uint64_t width) {
    if (rows == 0 || width == 0) {
        return {1, 0};
    }
    center = std::min(center, rows - 1);
    width = std::min(width, rows);
    uint64_t first = center >= width / 2 ? center - width / 2 : 0;
    first = std::min(first, rows - width);
    return {first, first + width - 1};
}

std::string DescribeWindow(const RowLayout& layout, RowWindow window) {
    if (window.Empty()) {
        return "No frames yet";
    }
    struct Part {
        uint64_t First, End;
        std::string Kind;
    };
    const uint64_t newRows = layout.TakeOver;
    const uint64_t restRows = layout.TakeOver + layout.Pending;
    const std::vector<Part> parts = layout.Pending == 0
                                        ? std::vector<Part>{{0, layout.Rows(), ""}}
                                        : std::vector<Part>{{0, newRows, ""},
                                                            {newRows, restRows, "new "},
                                                            {restRows, layout.Rows(), "replaced "}};
    std::string text;
    for (const Part& part : parts) {
        const uint64_t first = std::max(window.First, part.First);
        const uint64_t end = std::min(window.Last + 1, part.End);
        if (first >= end) {
            continue;
        }
        text += text.empty() ? part.Kind + "frames " : ", " + part.Kind;
        text += std::to_string(layout.At(first).Frame) + " to " +
                std::to_string(layout.At(end - 1).Frame);
    }
    return text;
}

uint64_t TopShowing(uint64_t top, uint64_t row, uint64_t shown, uint64_t rows) {
    if (shown > 0 && row >= top && row < top + shown) {
        return top;
    }
    return ClampTop(static_cast<int64_t>(row) - static_cast<int64_t>(shown / 2), shown, rows);
}

uint64_t ClampTop(int64_t top, uint64_t shown, uint64_t rows) {
    const uint64_t highest = rows > shown ? rows - shown : 0;
    return static_cast<uint64_t>(std::clamp<int64_t>(top, 0, static_cast<int64_t>(highest)));
}

std::string FloatText(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string OtherFlagsText(uint32_t flags) {
    uint32_t named = 0;
    for (uint32_t bit : NamedFlags) {
        named |= bit;
    }
    char text[16] = {'0', 'x'};
    char* end = std::to_chars(text + 2, text + sizeof text, flags & ~named, 16).ptr;
    for (char* c = text + 2; c != end; ++c) {
        *c = (*c >= 'a') ? static_cast<char>(*c - 'a' + 'A') : *c;
    }
    return std::string(text, end);
}

std::string ShortFloatText(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    char text[32];
    std::string shown(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2).ptr);
    while (shown.find('.') != std::string::npos && (shown.back() == '0' || shown.back() == '.')) {
        shown.pop_back();
    }
    return shown == "-0" ? "0" : shown;
}

std::array<std::string, ColumnNames.size()> Cells(uint64_t frame, const VehicleInput& input) {
    return {std::to_string(frame),
            ShortFloatText(input.Throttle),
            ShortFloatText(input.Steer),
            ShortFloatText(input.Pitch),
            ShortFloatText(input.Yaw),
            ShortFloatText(input.Roll),
            ShortFloatText(input.FlipForward),
            ShortFloatText(input.FlipSideways),
            (input.Flags & VehicleInputFlag::Handbrake) ? "1" : "0",
            (input.Flags & VehicleInputFlag::Jump) ? "1" : "0",
            (input.Flags & VehicleInputFlag::ActivateBoost) ? "1" : "0",
            (input.Flags & VehicleInputFlag::BoostHeld) ? "1" : "0",
            (input.Flags & VehicleInputFlag::JumpHeld) ? "1" : "0",
            OtherFlagsText(input.Flags)};
}

std::optional<FrameControl> ControlOfColumn(size_t column) {
    if (column < FirstControlColumn || column >= FirstControlColumn + ControlColumns) {
        return std::nullopt;
    }
    return ControlByName(ColumnNames[column]);
}

float CarSpeed(const TraceEntry& trace) {
    const Vector& v = trace.CarVelocity;
    return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
}

float BallSpeed(const TraceEntry& trace) {
    const Vector& v = trace.BallVelocity;
    return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
}

namespace {

std::string Whole(float value) {
    return std::to_string(static_cast<long long>(std::lround(value)));
}

} // namespace

std::array<std::string, StateHeaders.size()> StateCells(const TraceEntry* trace,
                                                        std::optional<float> boost) {
    std::array<std::string, StateHeaders.size()> cells;
    if (trace == nullptr) {
        return cells;
    }
    cells[0] = Whole(CarSpeed(*trace));
    cells[1] = Whole(trace->CarLocation.Z);
    if (boost) {
        cells[2] = Whole(*boost * 100.0f);
    }
    if (trace->HasBall) {
        const Vector& car = trace->CarLocation;
        const Vector& ball = trace->BallLocation;
        const float dx = ball.X - car.X, dy = ball.Y - car.Y, dz = ball.Z - car.Z;
        cells[3] = Whole(std::sqrt(dx * dx + dy * dy + dz * dz));
        cells[4] = Whole(BallSpeed(*trace));
    }
    return cells;
}

namespace {

auto FirstMarkerFrom(const std::vector<Marker>& markers, uint64_t frame) {
    return std::lower_bound(markers.begin(), markers.end(), frame,
                            [](const Marker& marker, uint64_t at) { return marker.Frame < at; });
}

} // namespace

const Marker* MarkerAt(const std::vector<Marker>& markers, uint64_t frame) {
    const auto at = FirstMarkerFrom(markers, frame);
    return at != markers.end() && at->Frame == frame ? &*at : nullptr;
}

std::optional<uint64_t> MarkerBefore(const std::vector<Marker>& markers, uint64_t frame) {
    const auto at = FirstMarkerFrom(markers, frame);
    return at == markers.begin() ? std::nullopt : std::optional<uint64_t>(std::prev(at)->Frame);
}

std::optional<uint64_t> MarkerAfter(const std::vector<Marker>& markers, uint64_t frame) {
    const auto at = FirstMarkerFrom(markers, frame + 1);
    return at == markers.end() ? std::nullopt : std::optional<uint64_t>(at->Frame);
}

} // namespace inputs
