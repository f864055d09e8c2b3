#include "runs/files/RunFile.h"
#include "runs/files/DurableFiles.h"
#include "runs/files/MarkersFile.h"
#include "runs/files/TasFile.h"
#include "runs/record/RunTrace.h"
#include "runs/record/TasFormat.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* AsideExtension = ".saving";
constexpr size_t TokenLength = 8;

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

// Eight hex digits, fresh for every write aside: two writes, even of two
// processes, never share a temporary file.
std::string NewToken() {
    static std::random_device random;
    char text[TokenLength + 1];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(random()));
    return text;
}

fs::path AsidePath(const fs::path& target, const std::string& token) {
    fs::path aside = target;
    aside += "." + token + AsideExtension;
    return aside;
}

} // namespace

fs::path LongestSavePath(const fs::path& run) {
    return AsidePath(TracePath(run), std::string(TokenLength, '0'));
}

namespace {

// Fills a file this write created, and waits until its bytes are on the disk.
void FillFile(const fs::path& path, const std::function<void(std::ostream&)>& write) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    if (!stream.is_open()) {
        throw std::runtime_error("cannot open " + Utf8FromPath(path));
    }
    write(stream);
    stream.flush();
    if (!stream.good()) {
        throw std::runtime_error("cannot write every byte to " + Utf8FromPath(path));
    }
    stream.close();
    if (stream.fail()) {
        throw std::runtime_error("cannot close " + Utf8FromPath(path));
    }
    FlushFileToDisk(path);
}

bool TraceBelongs(const fs::path& trace, const TasData& run) {
    std::ifstream stream(trace, std::ios::binary);
    std::vector<TraceEntry> entries;
    std::vector<Keyframe> keyframes;
    return ReadTrace(stream, run, entries, keyframes).fit == TraceFit::Belongs;
}

bool ReadRunFile(const fs::path& path, TasData& data) {
    std::ifstream stream(path, std::ios::binary);
    const ReadOutcome outcome = ReadTasData(stream, data).outcome;
    return outcome == ReadOutcome::Loaded || outcome == ReadOutcome::CutShort;
}

// The files of one save of the run listed as run, named with its token.
struct SaveFiles {
    fs::path trace;      // beside the name the run is listed and loaded by
    fs::path target;     // what a symlink of that name points to
    fs::path traceAside; // the save's record, and its new trace
    fs::path runAside;   // the new run, beside the target

    SaveFiles(const fs::path& run, const std::string& token)
        : trace(TracePath(run)), target(FollowSymlinks(run)), traceAside(AsidePath(trace, token)),
          runAside(AsidePath(target, token)) {}
};

// After the run file's rename: the new trace takes the old one's place, or
// a run without a trace takes the old one away.
void PlaceTrace(const SaveFiles& files, bool traced) {
    if (traced) {
        try {
            RenameDurably(files.traceAside, files.trace);
            return;
        } catch (const std::exception& e) {
            RemoveQuietly(files.traceAside);
            throw std::runtime_error("the run file was saved, but its trace could not take the "
                                     "place of the old one: " +
                                     std::string(e.what()));
        }
    }
    std::error_code error;
    if (fs::is_regular_file(fs::symlink_status(files.trace))) {
        fs::remove(files.trace, error);
    }
    RemoveQuietly(files.traceAside);
    FlushFolderToDisk(files.trace.parent_path());
    if (error) {
        throw std::runtime_error("the run file was saved, but the old trace " +
                                 Utf8FromPath(files.trace) +
                                 " could not be removed: " + error.message());
    }
}

// After the pair: markers are no part of what makes a run current, and a
// crash before them leaves old ones, which a load holds to the new run.
void PlaceMarkers(const fs::path& run, const std::vector<Marker>& markers) {
    try {
        SaveMarkersFile(run, markers);
    } catch (const std::exception& e) {
        throw std::runtime_error("the run file was saved, but not its markers: " +
                                 std::string(e.what()));
    }
}

} // namespace

fs::path WriteBeside(const fs::path& target, const std::function<void(std::ostream&)>& write) {
    fs::path temporary;
    do {
        temporary = AsidePath(target, NewToken());
    } while (!CreateNewFile(temporary));
    try {
        FillFile(temporary, write);
    } catch (...) {
        RemoveQuietly(temporary);
        throw;
    }
    return temporary;
}

void WriteFileAtomically(const fs::path& path, const std::function<void(std::ostream&)>& write) {
    // Renaming over a symlink would replace the link: replace what it points to.
    const fs::path target = FollowSymlinks(path);
    const fs::path temporary = WriteBeside(target, write);
    try {
        RenameDurably(temporary, target);
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

std::optional<std::string> RemoveFileBeside(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_directory(status)) {
        return "it is a folder";
    }
    if (!fs::exists(status)) {
        return std::nullopt;
    }
    if (!fs::remove(path, error) && error) {
        return error.message();
    }
    return std::nullopt;
}

// A run and its trace are saved in these steps; the run file's rename makes
// the new pair current. The trace's temporary file is made first and goes
// last: it is the save's record, and its token names the run's temporary
// file, which may lie in another folder (beside what a symlink points to).
//   1. NAME.data.trace.TOKEN.saving created empty
//   2. the run written to TARGET.TOKEN.saving and flushed
//   3. the trace written into the record and flushed (a run without a trace
//      leaves it empty)
//   4. TARGET.TOKEN.saving renamed over TARGET
//   5. the record renamed over NAME.data.trace, or, for a run without a
//      trace, the old trace and the empty record removed
// Files are flushed and renames wait for the disk, so that a power loss
// finds the steps in this order too. ResolveInterruptedSave finishes or
// undoes a save ended at any step.
void SaveRunFile(const fs::path& path, const TasData& data) {
    const bool traced = data.HasTrace();
    const fs::path trace = TracePath(path);
    // A folder of the trace's name blocks a new trace: found before the old
    // run file is replaced, not after.
    if (traced && fs::is_directory(fs::symlink_status(trace))) {
        throw std::runtime_error("cannot save the trace: " + Utf8FromPath(trace) + " is a folder");
    }
    const fs::path target = FollowSymlinks(path);
    std::string token;
    do {
        token = NewToken();
    } while (!CreateNewFile(AsidePath(trace, token)));
    const SaveFiles files(path, token);
    bool runCreated = false;
    try {
        FlushFolderToDisk(trace.parent_path());
        runCreated = CreateNewFile(files.runAside);
        if (!runCreated) {
            throw std::runtime_error(Utf8FromPath(files.runAside) + " exists already");
        }
        FillFile(files.runAside, [&](std::ostream& stream) { WriteTas(stream, data); });
        if (traced) {
            FillFile(files.traceAside, [&](std::ostream& stream) { WriteTrace(stream, data); });
        }
        RenameDurably(files.runAside, target);
    } catch (...) {
        // The run's file first: the record outlives what it names.
        if (runCreated) {
            RemoveQuietly(files.runAside);
        }
        RemoveQuietly(files.traceAside);
        throw;
    }
    PlaceTrace(files, traced);
    PlaceMarkers(path, data.Markers);
}

// The save's steps 1, 3 and 5, for a run file that stays.
void SaveTraceFile(const fs::path& path, const TasData& data) {
    const fs::path trace = TracePath(path);
    if (fs::is_directory(fs::symlink_status(trace))) {
        throw std::runtime_error("cannot save the trace: " + Utf8FromPath(trace) + " is a folder");
    }
    std::string token;
    do {
        token = NewToken();
    } while (!CreateNewFile(AsidePath(trace, token)));
    const SaveFiles files(path, token);
    try {
        FlushFolderToDisk(trace.parent_path());
        FillFile(files.traceAside, [&](std::ostream& stream) { WriteTrace(stream, data); });
        RenameDurably(files.traceAside, files.trace);
    } catch (...) {
        RemoveQuietly(files.traceAside);
        throw;
    }
}

bool ReadRunFileWhole(const fs::path& path, TasData& data) {
    std::ifstream stream(path, std::ios::binary);
    return stream && ReadTasData(stream, data).outcome == ReadOutcome::Loaded;
}

std::optional<InterruptedSave> InterruptedSaveOf(const fs::path& entry) {
    std::string name;
    try {
        name = Utf8FromPath(entry.filename());
    } catch (const std::exception&) {
        return std::nullopt; // no save of ours makes a name that is no text
    }
    const std::string traceEnd = ".data.trace.";
    const std::string markersEnd = ".data.markers.";
    const std::string runEnd = ".data.";
    const std::string end = AsideExtension;
    if (name.size() < runEnd.size() + TokenLength + end.size() || !name.ends_with(end)) {
        return std::nullopt;
    }
    const size_t tokenAt = name.size() - end.size() - TokenLength;
    const std::string token = name.substr(tokenAt, TokenLength);
    if (token.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return std::nullopt;
    }
    if (tokenAt >= markersEnd.size() &&
        name.compare(tokenAt - markersEnd.size(), markersEnd.size(), markersEnd) == 0) {
        const std::string run = name.substr(0, tokenAt - std::string(".markers.").size());
        return InterruptedSave{entry.parent_path() / PathFromUtf8(run), token, true};
    }
    if (name.compare(tokenAt - runEnd.size(), runEnd.size(), runEnd) == 0 &&
        !name.ends_with(traceEnd + token + end)) {
        // NAME.data.TOKEN.saving without its save's record was written aside
        // by a single-file write (an import) that did not get to its rename:
        // the file it would replace is current, and it goes as a save's would.
        const InterruptedSave save{entry.parent_path() / PathFromUtf8(name.substr(0, tokenAt - 1)),
                                   token};
        std::error_code error;
        if (fs::exists(fs::symlink_status(AsidePath(TracePath(save.run), token), error)) ||
            fs::is_symlink(fs::symlink_status(save.run, error))) {
            return std::nullopt; // the record names it, or it is no write beside this run
        }
        return save;
    }
    if (tokenAt < traceEnd.size() ||
        name.compare(tokenAt - traceEnd.size(), traceEnd.size(), traceEnd) != 0) {
        return std::nullopt;
    }
    // NAME.data.trace.TOKEN.saving was made by a save of NAME.data.
    const std::string run = name.substr(0, tokenAt - std::string(".trace.").size());
    return InterruptedSave{entry.parent_path() / PathFromUtf8(run), token};
}

// What the steps of a save left when it was ended part-way: before step 4
// the old pair is current and the new files go; after it the new run is
// current and the record, when it holds a trace of that run, takes its
// place. An empty record after step 4 was a run without a trace, whose old
// trace then no longer belongs. Each step here leaves a state this resolves
// again.
void ResolveInterruptedSave(const InterruptedSave& save) {
    if (save.markers) {
        fs::remove(AsidePath(MarkersPath(save.run), save.token));
        return;
    }
    const SaveFiles files(save.run, save.token);
    if (fs::exists(fs::symlink_status(files.runAside))) {
        fs::remove(files.runAside);
        fs::remove(files.traceAside);
        return;
    }
    TasData run;
    if (!fs::is_regular_file(save.run) || !ReadRunFile(save.run, run)) {
        fs::remove(files.traceAside); // the save never got to its run file
        return;
    }
    if (fs::file_size(files.traceAside) > 0) {
        if (TraceBelongs(files.traceAside, run)) {
            RenameDurably(files.traceAside, files.trace);
            return;
        }
    } else if (fs::is_regular_file(fs::symlink_status(files.trace)) &&
               !TraceBelongs(files.trace, run)) {
        fs::remove(files.trace);
    }
    fs::remove(files.traceAside);
}
