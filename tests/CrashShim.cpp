// Preloaded into a session to end it part-way through a save: the
// GYROLOG_CRASH_AT-th call (from 1) that writes, flushes, renames or removes
// a file under GYROLOG_CRASH_DIR ends the process with status 86, a write
// after half of its bytes (calls that create a file count too). Every such call is appended to
// GYROLOG_CRASH_LOG first, so a run that ends nowhere (GYROLOG_CRASH_AT=0) counts them.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int CrashStatus = 86;

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The recovery journal's writer thread works beside the save, at times of
// its own: its files are not the save's steps.
bool Under(const char* path) {
    const char* folder = std::getenv("GYROLOG_CRASH_DIR");
    return folder && path && std::strncmp(path, folder, std::strlen(folder)) == 0 &&
           !std::strstr(path + std::strlen(folder), "/recovery/");
}

std::string PathOf(int descriptor) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    char path[4096];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return length < 0 ? std::string() : std::string(path, static_cast<size_t>(length));
}

// Whether this call is the one to end the process at; counts and logs it.
bool CrashHere(const char* call, const std::string& path) {
    static long calls = 0;
    ++calls;
    if (const char* log = std::getenv("GYROLOG_CRASH_LOG")) {
        static auto write = Next<ssize_t (*)(int, const void*, size_t)>("write");
        static auto open = Next<int (*)(const char*, int, ...)>("open");
        const int file = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const std::string line = std::to_string(calls) + " " + call + " " + path + "\n";
        write(file, line.data(), line.size());
        close(file);
    }
    const char* at = std::getenv("GYROLOG_CRASH_AT");
    return at && std::atol(at) == calls;
}

} // namespace

extern "C" {

ssize_t write(int descriptor, const void* bytes, size_t count) {
    static auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    const std::string path = PathOf(descriptor);
    if (Under(path.c_str()) && CrashHere("write", path)) {
        next(descriptor, bytes, count / 2);
        _exit(CrashStatus);
    }
    return next(descriptor, bytes, count);
}

ssize_t writev(int descriptor, const struct iovec* parts, int count) {
    static auto next = Next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    static auto plainWrite = Next<ssize_t (*)(int, const void*, size_t)>("write");
    const std::string path = PathOf(descriptor);
    if (Under(path.c_str()) && CrashHere("writev", path)) {
        if (count > 0) {
            plainWrite(descriptor, parts[0].iov_base, parts[0].iov_len / 2);
        }
        _exit(CrashStatus);
    }
    return next(descriptor, parts, count);
}

int fsync(int descriptor) {
    static auto next = Next<int (*)(int)>("fsync");
    const std::string path = PathOf(descriptor);
    if (Under(path.c_str()) && CrashHere("fsync", path)) {
        _exit(CrashStatus);
    }
    return next(descriptor);
}

int fdatasync(int descriptor) {
    static auto next = Next<int (*)(int)>("fdatasync");
    const std::string path = PathOf(descriptor);
    if (Under(path.c_str()) && CrashHere("fdatasync", path)) {
        _exit(CrashStatus);
    }
    return next(descriptor);
}

// Only the calls that create a file.
static int OpenCounted(const char* name, const char* path, int flags, va_list rest) {
    static auto next = Next<int (*)(const char*, int, ...)>(name);
    const mode_t mode = (flags & O_CREAT) ? va_arg(rest, mode_t) : 0;
    if ((flags & O_CREAT) && Under(path) && CrashHere(name, path)) {
        _exit(CrashStatus);
    }
    return next(path, flags, mode);
}

int open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int descriptor = OpenCounted("open", path, flags, rest);
    va_end(rest);
    return descriptor;
}

int open64(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int descriptor = OpenCounted("open64", path, flags, rest);
    va_end(rest);
    return descriptor;
}

int rename(const char* from, const char* to) {
    static auto next = Next<int (*)(const char*, const char*)>("rename");
    if ((Under(from) || Under(to)) && CrashHere("rename", std::string(from) + " " + to)) {
        _exit(CrashStatus);
    }
    return next(from, to);
}

int remove(const char* path) {
    static auto next = Next<int (*)(const char*)>("remove");
    if (Under(path) && CrashHere("remove", path)) {
        _exit(CrashStatus);
    }
    return next(path);
}

int unlink(const char* path) {
    static auto next = Next<int (*)(const char*)>("unlink");
    if (Under(path) && CrashHere("unlink", path)) {
        _exit(CrashStatus);
    }
    return next(path);
}

} // extern "C"
