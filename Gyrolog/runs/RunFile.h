#pragma once

#include "runs/Tas.h"

#include <filesystem>

// Writes the run beside its file and renames it over the file only once every
// byte is written: a failed save never touches the file it would replace.
// Throws on any failure, after removing what it wrote.
void SaveRunFile(const std::filesystem::path& target, const TasData& data);
