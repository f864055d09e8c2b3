#include "runs/TasFile.h"

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

const char* TasNameProblem(const std::string& name) {
    if (name.empty()) {
        return EmptyNameMessage;
    }
    if (HasForbiddenCharacter(name)) {
        return InvalidNameMessage;
    }
    return IsDeviceName(name) ? DeviceNameMessage : nullptr;
}

bool IsValidTasName(const std::string& name) {
    return TasNameProblem(name) == nullptr;
}
