#include "runs/RunFile.h"
#include "runs/RunTrace.h"
#include "runs/TasFile.h"
#include "runs/TasFormat.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Where a chain of symlinks ends; a path that is no symlink is its own end.
fs::path FollowSymlinks(fs::path path) {
    // As many hops as the systems we run on follow before giving up.
    for (int hops = 0; fs::is_symlink(path); ++hops) {
        if (hops == 40) {
            throw fs::filesystem_error(
                "too many levels of symbolic links", path,
                std::make_error_code(std::errc::too_many_symbolic_link_levels));
        }
        const fs::path link = fs::read_symlink(path);
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

void RemoveQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

} // namespace

fs::path WriteBeside(const fs::path& target, const std::function<void(std::ostream&)>& write) {
    fs::path temporary = target;
    temporary += ".saving";
    bool created = false;
    try {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream.is_open()) {
            throw std::runtime_error("cannot create " + Utf8FromPath(temporary));
        }
        created = true;
        write(stream);
        stream.flush();
        if (!stream.good()) {
            throw std::runtime_error("cannot write every byte to " + Utf8FromPath(temporary));
        }
        stream.close();
        if (stream.fail()) {
            throw std::runtime_error("cannot close " + Utf8FromPath(temporary));
        }
    } catch (...) {
        // Only what this write created: never a folder of that name.
        if (created) {
            RemoveQuietly(temporary);
        }
        throw;
    }
    return temporary;
}

void WriteFileAtomically(const fs::path& path, const std::function<void(std::ostream&)>& write) {
    // Renaming over a symlink would replace the link: replace what it points to.
    const fs::path target = FollowSymlinks(path);
    const fs::path temporary = WriteBeside(target, write);
    try {
        fs::rename(temporary, target);
    } catch (...) {
        RemoveQuietly(temporary);
        throw;
    }
}

// Windows refuses to convert what is not UTF-8 (or UTF-16); POSIX would take
// any bytes. Both refuse here, so that the same names work on both.
fs::path PathFromUtf8(const std::string& text) {
    if (!IsValidUtf8(text)) {
        throw std::invalid_argument("the name is not valid UTF-8 text");
    }
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    std::string utf8(text.begin(), text.end());
    if (!IsValidUtf8(utf8)) {
        throw std::invalid_argument("a file name is not valid UTF-8 text");
    }
    return utf8;
}

void SaveRunFile(const fs::path& path, const TasData& data) {
    const fs::path target = FollowSymlinks(path);
    // Beside the name the run is listed and loaded by, not beside what a
    // symlink of that name points to.
    const fs::path trace = TracePath(path);
    const bool traced = data.HasTrace();
    // Both files are written aside first; the old trace is kept aside until
    // the run file is in place, so a failure leaves both old files or both
    // new ones. A run without a trace takes the old one away.
    const fs::path runWritten =
        WriteBeside(target, [&](std::ostream& stream) { WriteTas(stream, data); });
    fs::path traceWritten;
    fs::path previous = trace;
    previous += ".previous";
    bool setAside = false;
    bool traceInPlace = false;
    try {
        if (traced) {
            traceWritten =
                WriteBeside(trace, [&](std::ostream& stream) { WriteTrace(stream, data); });
        }
        // A folder of the trace's name is no trace: it stays, and blocks a new one.
        if (fs::is_regular_file(fs::symlink_status(trace))) {
            fs::rename(trace, previous);
            setAside = true;
        }
        if (traced) {
            fs::rename(traceWritten, trace);
            traceInPlace = true;
        }
        fs::rename(runWritten, target);
    } catch (...) {
        RemoveQuietly(runWritten);
        if (traced) {
            RemoveQuietly(traceInPlace ? trace : traceWritten);
        }
        if (setAside) {
            std::error_code ignored;
            fs::rename(previous, trace, ignored);
        }
        throw;
    }
    if (setAside) {
        RemoveQuietly(previous);
    }
}
