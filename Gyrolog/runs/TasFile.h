#pragma once

#include "runs/Tas.h"
#include "runs/TasFormat.h"

#include <filesystem>
#include <string>

// One run file of the run folder.
struct TasFile {
    std::string Name; // file name without its last extension
    std::filesystem::path Path;
};

// Holds one of the characters a file name may not hold: \/:*?"<>|.
bool HasForbiddenCharacter(const std::string& name);
// A name Windows takes for a device (CON, NUL, COM1, LPT1, ...) in any case,
// also with trailing spaces.
bool IsDeviceName(const std::string& name);
// Not empty, no forbidden character, not a device name.
bool IsValidTasName(const std::string& name);

inline const char* const InvalidNameMessage = "Name can't contain these charaters \\/:*?\"<>|.";
inline const char* const EmptyNameMessage = "TAS name can't be empty";
inline const char* const DeviceNameMessage =
    "Name can't be a device name like CON, PRN, AUX, NUL, COM1 or LPT1";

// The message that refuses the name, or nullptr for a valid name.
const char* TasNameProblem(const std::string& name);
