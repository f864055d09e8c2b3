#pragma once

#include "runs/Tas.h"

#include <filesystem>
#include <functional>
#include <iosfwd>

// Writes beside the target and renames over it only once every byte is
// written: a failed write never touches the file it would replace. A target
// that is a symlink stays one; the file it points to is replaced. Throws on
// any failure, after removing what it wrote.
void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(std::ostream&)>& write);

void SaveRunFile(const std::filesystem::path& target, const TasData& data);
