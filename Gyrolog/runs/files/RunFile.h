#pragma once

#include "runs/record/Tas.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

// Writes beside the target and renames over it only once every byte is
// written: a failed write never touches the file it would replace. A target
// that is a symlink stays one; the file it points to is replaced. Throws on
// any failure, after removing what it wrote.
void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(std::ostream&)>& write);

// Writes every byte to a new file target + ".TOKEN.saving" (a token no file
// has), waits until the bytes are on the disk and returns its path, for a
// caller that renames it into place. Throws on any failure, after removing
// what it wrote; never touches a file it did not create.
std::filesystem::path WriteBeside(const std::filesystem::path& target,
                                  const std::function<void(std::ostream&)>& write);

// Removes the file beside a run at path: nothing when it went or was not
// there, else why it stays (a folder of that name always does). Never throws.
std::optional<std::string> RemoveFileBeside(const std::filesystem::path& path);

// Writes the run file and, beside it, its trace file when the run has a
// trace; removes an old trace file when it has none. Both files are replaced
// or neither is, also when the process ends part-way: what it leaves is
// resolved by ResolveInterruptedSave. Then writes its markers file, or
// removes an old one when it has no markers.
void SaveRunFile(const std::filesystem::path& target, const TasData& data);

// Writes the run's trace beside the run file, which holds that run already,
// leaving the run file as it is. Replaced whole or not at all, also when the
// process ends part-way: it writes as a save's last steps do, and
// ResolveInterruptedSave finishes or undoes what it leaves.
void SaveTraceFile(const std::filesystem::path& target, const TasData& data);

// Reads the run file at path into data: false for a missing, cut or damaged
// file.
bool ReadRunFileWhole(const std::filesystem::path& path, TasData& data);

// The longest path a save of the run file run writes: its trace's
// temporary file, NAME.data.trace.TOKEN.saving.
std::filesystem::path LongestSavePath(const std::filesystem::path& run);

// A save of run that did not finish, known by the record it leaves in the
// run's folder, NAME.data.trace.TOKEN.saving, or by its markers' temporary file.
struct InterruptedSave {
    std::filesystem::path run; // NAME.data
    std::string token;
    // NAME.data.markers.TOKEN.saving: a save's last step, its markers, did
    // not get to its rename. The markers file in place, or none, stays.
    bool markers = false;
};

// The save that left this folder entry, when it is a save's record.
std::optional<InterruptedSave> InterruptedSaveOf(const std::filesystem::path& entry);

// Leaves the run with the trace of the pair that was current when the save
// ended (the old pair, or the new one once its run file was in place) and
// removes every other file of the save (of a markers write, its temporary
// file). Throws on a file-system failure; resolving again goes on from there.
void ResolveInterruptedSave(const InterruptedSave& save);

// Run names are UTF-8, as Dear ImGui's text is. Paths are made from and read
// back to UTF-8 explicitly: the narrow code page on Windows usually is not
// UTF-8, and would turn a typed name into another file name or fail on it.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);
