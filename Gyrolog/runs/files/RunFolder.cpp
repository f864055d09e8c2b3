#include "runs/files/RunFolder.h"
#include "runs/files/RunFile.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

fs::path RunFilePath(const fs::path& folder, const std::string& name) {
    return folder / PathFromUtf8(name + ".data");
}

bool SavePathTooLong(const fs::path& folder, const std::string& name) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error) {
        absolute = folder;
    }
    try {
        return LongestSavePath(RunFilePath(absolute, name)).u16string().size() > MaxSavePathUnits;
    } catch (const std::exception&) {
        return false; // a folder or name that is not text: the save says so
    }
}

const char* RunNameProblem(const fs::path& folder, const std::string& name) {
    if (const char* problem = TasNameProblem(name)) {
        return problem;
    }
    return SavePathTooLong(folder, name) ? LongPathMessage : nullptr;
}

namespace {

// The entry's run name when it is a run file: a regular file whose last
// extension is exactly ".data". An entry whose type cannot be read (a symlink
// loop) or whose name cannot be converted is not one.
std::optional<std::string> RunFileName(const fs::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error)) {
        return std::nullopt;
    }
    std::string fileName;
    try {
        fileName = Utf8FromPath(entry.path().filename());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto dot = fileName.rfind('.');
    // ".data" alone names no run.
    if (dot == std::string::npos || dot == 0 ||
        fileName.compare(dot, std::string::npos, ".data") != 0) {
        return std::nullopt;
    }
    return fileName.substr(0, dot);
}

} // namespace

// One odd entry does not hide the ones after it. Saves that did not finish
// are resolved once the enumeration is over: a folder changed while it is
// enumerated may show an entry twice or not at all.
void ListRunFiles(const fs::path& folder, std::vector<TasFile>& files) {
    std::vector<InterruptedSave> interrupted;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (auto name = RunFileName(entry)) {
            files.push_back(TasFile{std::move(*name), entry.path()});
        } else if (auto save = InterruptedSaveOf(entry.path())) {
            interrupted.push_back(std::move(*save));
        }
    }
    // One that cannot be resolved does not keep the others from it.
    std::exception_ptr failure;
    for (const auto& save : interrupted) {
        try {
            ResolveInterruptedSave(save);
        } catch (const std::exception&) {
            failure = failure ? failure : std::current_exception();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void SaveRun(const fs::path& folder, const std::string& name, const TasData& data) {
    // Windows would write such a file into the device and call it a success.
    if (IsDeviceName(name)) {
        throw std::invalid_argument("\"" + name + "\" names a device on Windows");
    }
    if (SavePathTooLong(folder, name)) {
        throw std::invalid_argument(LongPathMessage);
    }
    const fs::path path = RunFilePath(folder, name);
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto other = RunFileName(entry);
        if (other && *other != name && SameRunName(*other, name)) {
            throw std::invalid_argument(CaseClashMessage(*other));
        }
    }
    SaveRunFile(path, data);
}

RunLoadResult LoadRun(const TasFile& file) {
    RunLoadResult result;
    {
        std::ifstream stream(file.Path, std::ios::binary);
        result.file = ReadTasData(stream, result.data);
    }
    if (result.file.outcome != ReadOutcome::Loaded &&
        result.file.outcome != ReadOutcome::CutShort) {
        return result;
    }
    result.markers = LoadMarkersFile(file.Path, result.data.Inputs.size(), result.data.Markers);
    const fs::path trace = TracePath(file.Path);
    std::error_code error;
    if (!fs::is_regular_file(trace, error)) {
        return result; // a run without a trace loads as it is, unchecked
    }
    std::ifstream stream(trace, std::ios::binary);
    result.trace = ReadTrace(stream, result.data, result.data.Trace, result.data.Keyframes);
    return result;
}

RunDeleteResult DeleteRun(const TasFile& file, const fs::path& folder,
                          std::vector<TasFile>& files) {
    fs::remove(file.Path); // a file already gone is no failure
    RunDeleteResult result;
    const fs::path trace = TracePath(file.Path);
    if (auto why = RemoveFileBeside(trace)) {
        result.traceLeft = TraceLeft{trace, std::move(*why)};
    }
    if (auto why = RemoveFileBeside(MarkersPath(file.Path))) {
        result.markersLeft = TraceLeft{MarkersPath(file.Path), std::move(*why)};
    }
    files.clear();
    ListRunFiles(folder, files);
    return result;
}

bool IsListed(const std::vector<TasFile>& files, const std::string& name) {
    return std::any_of(files.begin(), files.end(),
                       [&](const TasFile& file) { return file.Name == name; });
}
