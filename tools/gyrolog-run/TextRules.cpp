#include "TextRules.h"

#include <cmath>
#include <cstdio>

namespace runtext {

std::string Quote(std::string_view text) {
    constexpr size_t MaxShown = 32;
    std::string quoted = "\"";
    for (const char c : text.substr(0, MaxShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    quoted += "\"";
    if (text.size() > MaxShown) {
        quoted += "... (" + std::to_string(text.size()) + " characters)";
    }
    return quoted;
}

const char* ReadFloat(std::string_view text, float& value) {
    if (ParseFloat(text, value)) {
        return nullptr;
    }
    // ParseFloat refuses both junk and numbers a float cannot hold; tell them apart.
    double wide = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, wide);
    const bool number = !text.empty() && result.ptr == end && !std::isnan(wide) &&
                        !std::isinf(wide) && !text.starts_with("nan");
    return number ? "is out of range for a 32-bit float" : "is not a number";
}

const char* ReadFlag(std::string_view text, bool& set) {
    if (text.size() != 1 || (text[0] != '0' && text[0] != '1')) {
        return "is not 0 or 1";
    }
    set = text[0] == '1';
    return nullptr;
}

const char* ReadOtherFlags(std::string_view text, uint32_t& bits) {
    constexpr const char* problem = "is not a hexadecimal number 0x... without the five named bits";
    if (!(text.starts_with("0x") || text.starts_with("0X")) || text.size() == 2) {
        return problem;
    }
    const auto digits = text.substr(2);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
        (bits & NamedFlags)) {
        return problem;
    }
    return nullptr;
}

const char* ReadByte(std::string_view text, uint8_t& value) {
    uint64_t wide = 0;
    if (ReadWhole(text, wide) || wide > 255) {
        return "is not a whole number from 0 to 255";
    }
    value = static_cast<uint8_t>(wide);
    return nullptr;
}

} // namespace runtext
