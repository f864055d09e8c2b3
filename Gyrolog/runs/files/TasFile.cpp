#include "runs/files/TasFile.h"

#include <algorithm>
#include <cctype>

bool HasForbiddenCharacter(const std::string& name) {
    return name.find_first_of("\\/:*?\"<>|.") != std::string::npos;
}

bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find_last_not_of(' ') + 1);
    for (char& c : base) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
        if (base == device) {
            return true;
        }
    }
    if (base.starts_with("com") || base.starts_with("lpt")) {
        const std::string number = base.substr(3);
        // A digit, or superscript 1, 2 or 3 in UTF-8.
        for (const char* suffix : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
            if (number == suffix) {
                return true;
            }
        }
        return number.size() == 1 && number[0] >= '0' && number[0] <= '9';
    }
    return false;
}

bool IsValidUtf8(std::string_view text) {
    const auto* byte = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = byte + text.size();
    while (byte < end) {
        const unsigned char lead = *byte++;
        if (lead < 0x80) {
            continue;
        }
        int continuations = 0;
        unsigned char low = 0x80;  // the second byte's range, which rules out
        unsigned char high = 0xBF; // overlong forms, surrogates and > U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - byte < continuations || *byte < low || *byte > high) {
            return false;
        }
        for (int i = 0; i < continuations; ++i, ++byte) {
            if ((*byte & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return true;
}

const char* TasNameProblem(const std::string& name) {
    if (name.empty()) {
        return EmptyNameMessage;
    }
    if (!IsValidUtf8(name)) {
        return InvalidTextMessage;
    }
    if (name.size() > MaxTasNameBytes) {
        return LongNameMessage;
    }
    if (HasForbiddenCharacter(name)) {
        return InvalidNameMessage;
    }
    return IsDeviceName(name) ? DeviceNameMessage : nullptr;
}

bool SameRunName(std::string_view a, std::string_view b) {
    auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string CaseClashMessage(const std::string& other) {
    return "TAS name clashes with " + other + ", which differs only in letter case";
}

bool IsValidTasName(const std::string& name) {
    return TasNameProblem(name) == nullptr;
}
