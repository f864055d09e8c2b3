#pragma once

#include <filesystem>

// What the standard library cannot do with files: create one only if it is
// new, and make written bytes and renames survive a crash or a power loss.
// Each throws std::filesystem::filesystem_error on failure.

// Creates an empty file at path; false when something of that name exists.
bool CreateNewFile(const std::filesystem::path& path);

// Waits until the file's bytes are on the disk.
void FlushFileToDisk(const std::filesystem::path& path);

// Renames from over to and waits until the rename is on the disk.
void RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to);

// Waits until the folder's entries (files created, renamed or removed in it)
// are on the disk.
void FlushFolderToDisk(const std::filesystem::path& folder);
