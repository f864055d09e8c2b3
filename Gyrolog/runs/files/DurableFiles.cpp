#include "runs/files/DurableFiles.h"

#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const fs::path& path, std::error_code error) {
    throw fs::filesystem_error(what, path, error);
}

#ifdef _WIN32

std::error_code LastError() {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

// A handle that may write, as FlushFileBuffers needs; shared so that a reader
// elsewhere does not make the flush fail.
HANDLE OpenForWriting(const fs::path& path, DWORD creation) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

#else

std::error_code LastError() {
    return std::error_code(errno, std::generic_category());
}

void FlushDescriptor(int descriptor, const char* what, const fs::path& path) {
    if (descriptor < 0) {
        Fail(what, path, LastError());
    }
    const bool flushed = fsync(descriptor) == 0;
    const std::error_code error = LastError();
    close(descriptor);
    if (!flushed) {
        Fail(what, path, error);
    }
}

#endif

} // namespace

#ifdef _WIN32

bool CreateNewFile(const fs::path& path) {
    const HANDLE file = OpenForWriting(path, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            return false;
        }
        Fail("cannot create", path,
             std::error_code(static_cast<int>(error), std::system_category()));
    }
    CloseHandle(file);
    return true;
}

void FlushFileToDisk(const fs::path& path) {
    const HANDLE file = OpenForWriting(path, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("cannot open to flush", path, LastError());
    }
    const bool flushed = FlushFileBuffers(file) != 0;
    const std::error_code error = LastError();
    CloseHandle(file);
    if (!flushed) {
        Fail("cannot flush", path, error);
    }
}

// Write-through: MoveFileEx returns once the rename is on the disk.
void RenameDurably(const fs::path& from, const fs::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw fs::filesystem_error("cannot rename", from, to, LastError());
    }
}

// Windows keeps a folder's entries with the operations above; there is no
// folder handle to flush.
void FlushFolderToDisk(const fs::path&) {}

#else

bool CreateNewFile(const fs::path& path) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        if (errno == EEXIST) {
            return false;
        }
        Fail("cannot create", path, LastError());
    }
    close(descriptor);
    return true;
}

void FlushFileToDisk(const fs::path& path) {
    FlushDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC), "cannot flush", path);
}

void RenameDurably(const fs::path& from, const fs::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        throw fs::filesystem_error("cannot rename", from, to, LastError());
    }
    FlushFolderToDisk(to.parent_path());
}

// A rename or a new file is on the disk only once its folder is.
void FlushFolderToDisk(const fs::path& folder) {
    const fs::path path = folder.empty() ? fs::path(".") : folder;
    FlushDescriptor(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), "cannot flush", path);
}

#endif
