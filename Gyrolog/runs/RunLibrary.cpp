#include "Gyrolog.h"
#include "runs/RunFile.h"

#include <fmt/core.h>

#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Names and paths use the file system's narrow code page both ways.
fs::path RunFilePath(const fs::path& folder, const std::string& name) {
    return folder / fs::path(name + ".data");
}

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
    }
}

// The entry's name when it is a run file: a regular file whose last extension
// is exactly ".data". An entry whose type cannot be read (a symlink loop) or
// whose name the narrow code page cannot hold is not one.
std::optional<std::string> RunFileName(const fs::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error)) {
        return std::nullopt;
    }
    std::string fileName;
    try {
        fileName = entry.path().filename().string();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.compare(dot, std::string::npos, ".data") != 0) {
        return std::nullopt;
    }
    return fileName.substr(0, dot);
}

// Appends the folder's run files in enumeration order; one odd entry does not
// hide the ones after it.
void ListRunFiles(const fs::path& folder, std::vector<TasFile>& files) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (auto name = RunFileName(entry)) {
            files.push_back(TasFile{std::move(*name), entry.path()});
        }
    }
}

} // namespace

void Gyrolog::PrepareRunFolder() {
    try {
        if (fs::exists(DataFolder)) {
            RefreshTasFiles();
        } else {
            fs::create_directory(DataFolder);
        }
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error preparing the run folder: {}", e.what()));
    }
}

void Gyrolog::RefreshTasFiles() {
    TasFiles.clear();
    try {
        ListRunFiles(DataFolder, TasFiles);
    } catch (const std::exception& e) {
        // The list keeps what was gathered before the failure.
        LogLine(fmt::format("Error listing files: {}", e.what()));
    }
}

void Gyrolog::SaveTas() {
    const std::string name = LoadedTas.Name;
    if (name.empty()) {
        ShowToast("TAS name can't be empty", 3);
        return;
    }
    try {
        const fs::path path = RunFilePath(DataFolder, name);
        if (!fs::exists(DataFolder)) {
            fs::create_directories(DataFolder);
        }
        SaveRunFile(path, LoadedTas.Data);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error saving file: {}", e.what()));
        ShowToast("Error saving file, check logs", 3);
        return;
    }
    ShowToast(name + " saved to file", 1);
}

void Gyrolog::LoadTas(int index) {
    if (index < 0 || static_cast<size_t>(index) >= TasFiles.size()) {
        return;
    }
    const TasFile file = TasFiles[index];
    TasReadResult result;
    try {
        std::ifstream stream(file.Path, std::ios::binary);
        result = ReadTas(LoadedTas, stream, file.Name);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error loading file: {}", e.what()));
        ShowToast("Error loading file, check logs", 3);
        return;
    }
    if (result.outcome == ReadOutcome::Loaded || result.outcome == ReadOutcome::CutShort) {
        Stop(); // the reset run must not keep the old one's speed or pending start
    }
    switch (result.outcome) {
    case ReadOutcome::Loaded:
        ShowToast(file.Name + " loaded", 1);
        break;
    case ReadOutcome::CutShort:
        ShowToast(file.Name + " loaded, file was cut short", 2);
        break;
    case ReadOutcome::Rejected:
        ShowToast("Error loading file, check logs", 3);
        break;
    case ReadOutcome::TooLarge:
        LogLine(fmt::format("Error loading file: {}", result.error));
        ShowToast("Error loading file, check logs", 3);
        break;
    }
}

void Gyrolog::DeleteTas(int index) {
    if (index < 0 || static_cast<size_t>(index) >= TasFiles.size()) {
        return;
    }
    try {
        fs::remove(TasFiles[index].Path); // a file already gone is no failure
        TasFiles.clear();
        ListRunFiles(DataFolder, TasFiles);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error deleting file: {}", e.what()));
        ShowToast("Error deleting file, check logs", 3);
    }
}
