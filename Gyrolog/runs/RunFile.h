#pragma once

#include "runs/Tas.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

// Writes beside the target and renames over it only once every byte is
// written: a failed write never touches the file it would replace. A target
// that is a symlink stays one; the file it points to is replaced. Throws on
// any failure, after removing what it wrote.
void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(std::ostream&)>& write);

// Writes every byte to target + ".saving" and returns that path, for a
// caller that renames it into place. Throws on any failure, after removing
// what it wrote; never removes a folder of that name.
std::filesystem::path WriteBeside(const std::filesystem::path& target,
                                  const std::function<void(std::ostream&)>& write);

// Writes the run file and, beside it, its trace file when the run has a
// trace; removes an old trace file when it has none. Both files are replaced
// or neither is.
void SaveRunFile(const std::filesystem::path& target, const TasData& data);

// Run names are UTF-8, as Dear ImGui's text is. Paths are made from and read
// back to UTF-8 explicitly: the narrow code page on Windows usually is not
// UTF-8, and would turn a typed name into another file name or fail on it.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);
