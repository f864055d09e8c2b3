#include "ui/InputsView.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace inputs {

RowLayout::RowLayout(uint64_t runFrames, uint64_t takeOver, uint64_t pending)
    : RunFrames(runFrames), TakeOver(std::min(takeOver, runFrames)), Pending(pending) {}

Row RowLayout::At(uint64_t row) const {
    if (row < TakeOver) {
        return {RowKind::Run, row, row};
    }
    if (row < TakeOver + Pending) {
        return {RowKind::Pending, row, row - TakeOver};
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

std::array<std::string, ColumnNames.size()> Cells(uint64_t frame, const VehicleInput& input) {
    return {std::to_string(frame),
            FloatText(input.Throttle),
            FloatText(input.Steer),
            FloatText(input.Pitch),
            FloatText(input.Yaw),
            FloatText(input.Roll),
            FloatText(input.FlipForward),
            FloatText(input.FlipSideways),
            (input.Flags & VehicleInputFlag::Handbrake) ? "1" : "0",
            (input.Flags & VehicleInputFlag::Jump) ? "1" : "0",
            (input.Flags & VehicleInputFlag::ActivateBoost) ? "1" : "0",
            (input.Flags & VehicleInputFlag::BoostHeld) ? "1" : "0",
            (input.Flags & VehicleInputFlag::JumpHeld) ? "1" : "0",
            OtherFlagsText(input.Flags)};
}

} // namespace inputs
