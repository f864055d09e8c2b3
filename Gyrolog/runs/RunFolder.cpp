#include "runs/RunFolder.h"
#include "runs/RunFile.h"

#include <fstream>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

fs::path RunFilePath(const fs::path& folder, const std::string& name) {
    return folder / PathFromUtf8(name + ".data");
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
    if (dot == std::string::npos || fileName.compare(dot, std::string::npos, ".data") != 0) {
        return std::nullopt;
    }
    return fileName.substr(0, dot);
}

} // namespace

// One odd entry does not hide the ones after it.
void ListRunFiles(const fs::path& folder, std::vector<TasFile>& files) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (auto name = RunFileName(entry)) {
            files.push_back(TasFile{std::move(*name), entry.path()});
        }
    }
}

void SaveRun(const fs::path& folder, const std::string& name, const TasData& data) {
    // Windows would write such a file into the device and call it a success.
    if (IsDeviceName(name)) {
        throw std::invalid_argument("\"" + name + "\" names a device on Windows");
    }
    const fs::path path = RunFilePath(folder, name);
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
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
    const fs::path trace = TracePath(file.Path);
    std::error_code error;
    if (!fs::is_regular_file(trace, error)) {
        return result; // a run without a trace loads as it is, unchecked
    }
    std::ifstream stream(trace, std::ios::binary);
    result.trace = ReadTrace(stream, result.data.Inputs, result.data.Trace);
    return result;
}

void DeleteRun(const TasFile& file, const fs::path& folder, std::vector<TasFile>& files) {
    fs::remove(file.Path); // a file already gone is no failure
    const fs::path trace = TracePath(file.Path);
    std::error_code traceError;
    if (!fs::is_directory(trace, traceError)) {
        fs::remove(trace, traceError);
    }
    files.clear();
    ListRunFiles(folder, files);
    if (traceError) {
        throw fs::filesystem_error("cannot remove the trace file", trace, traceError);
    }
}
