#pragma once

#include "runs/record/Tas.h"
#include "runs/record/TasFormat.h"

#include <filesystem>
#include <string>
#include <string_view>

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
// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no UTF-16 surrogate halves, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);
// Not empty, valid UTF-8, at most MaxTasNameBytes, no forbidden character,
// not a device name.
bool IsValidTasName(const std::string& name);

// A save adds its own suffixes to the name's file names; Windows allows 255
// UTF-16 units in a file name, and every UTF-8 byte is at most one unit.
constexpr size_t MaxTasNameBytes = 200;

inline const char* const InvalidNameMessage = "Name can't contain these charaters \\/:*?\"<>|.";
inline const char* const EmptyNameMessage = "TAS name can't be empty";
inline const char* const InvalidTextMessage = "Name must be valid text";
inline const char* const LongNameMessage = "Name can't be longer than 200 bytes";
inline const char* const LongPathMessage = "TAS name is too long for the run folder";
inline const char* const DeviceNameMessage =
    "Name can't be a device name like CON, PRN, AUX, NUL, COM1 or LPT1";

// The message that refuses the name, or nullptr for a valid name.
const char* TasNameProblem(const std::string& name);

// Windows opens no file whose path is longer than MAX_PATH, 260 UTF-16 units
// with the closing NUL, unless the process opts into long paths, which the
// game does not.
constexpr size_t MaxSavePathUnits = 259;

// Whether two run names name one file. Windows' file systems ignore letter
// case, and run folders are copied between machines, so names that differ
// only in the case of ASCII letters clash on every platform. (Windows also
// folds other letters; such clashes are left to its file system.)
bool SameRunName(std::string_view a, std::string_view b);
// Refuses saving name beside other, a run file's name that clashes with it
// (SameRunName) in another spelling.
std::string CaseClashMessage(const std::string& other);
