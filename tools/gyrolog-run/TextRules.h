#pragma once

// What the CSV and JSON texts share: the frame columns and one rule for
// every value, so that both imports refuse the same text the same way.
#include "RunText.h"

#include <array>
#include <charconv>
#include <limits>
#include <string>
#include <string_view>

namespace runtext {

constexpr uint32_t NamedFlags = 0x1F;

constexpr std::array<std::string_view, 14> CsvColumns = {
    "frame",          "throttle",     "steer",         "pitch",      "yaw",
    "roll",           "flip_forward", "flip_sideways", "handbrake",  "jump",
    "activate_boost", "boost_held",   "jump_held",     "other_flags"};
constexpr size_t FirstFloatColumn = 1;
constexpr size_t FirstFlagColumn = 8;
constexpr size_t OtherFlagsColumn = 13;

constexpr std::array<float VehicleInput::*, 7> FloatFields = {
    &VehicleInput::Throttle,    &VehicleInput::Steer, &VehicleInput::Pitch,
    &VehicleInput::Yaw,         &VehicleInput::Roll,  &VehicleInput::FlipForward,
    &VehicleInput::FlipSideways};

constexpr std::array<uint32_t, 5> FlagBits = {
    VehicleInputFlag::Handbrake, VehicleInputFlag::Jump, VehicleInputFlag::ActivateBoost,
    VehicleInputFlag::BoostHeld, VehicleInputFlag::JumpHeld};

// A bad value as a message shows it: in quotes, at most a few dozen
// characters, bytes that are not printable as \xHH.
std::string Quote(std::string_view text);

// Each returns nullptr when the text is a valid value, else the problem as
// it follows the value's name ("is not a number").
const char* ReadFloat(std::string_view text, float& value);
const char* ReadFlag(std::string_view text, bool& set);
const char* ReadOtherFlags(std::string_view text, uint32_t& bits);
const char* ReadByte(std::string_view text, uint8_t& value);

template <typename Int> const char* ReadWhole(std::string_view text, Int& value) {
    const bool negative = text.starts_with('-');
    // from_chars reads no minus sign into an unsigned type: read the digits alone.
    const auto digits = std::numeric_limits<Int>::is_signed ? text : text.substr(negative);
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value);
    if (result.ptr != end || digits.empty() ||
        (!std::numeric_limits<Int>::is_signed && digits.starts_with('-')) ||
        (result.ec != std::errc() && result.ec != std::errc::result_out_of_range)) {
        return "is not a whole number";
    }
    if (result.ec == std::errc::result_out_of_range ||
        (negative && value != 0 && !std::numeric_limits<Int>::is_signed)) {
        return std::numeric_limits<Int>::is_signed ? "is out of range for a 32-bit integer"
                                                   : "is out of range for a 64-bit count";
    }
    return nullptr;
}

// Fills everything but the frames from a CSV export's side file.
void ReadSideFile(const std::string& text, const std::string& name, TextRun& run);

} // namespace runtext
