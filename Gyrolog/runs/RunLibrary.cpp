#include "Gyrolog.h"
#include "runs/RunFile.h"

#include <fmt/core.h>

#include <fstream>

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

// Appends the folder's run files in enumeration order: regular files whose
// last extension is exactly ".data".
void ListRunFiles(const fs::path& folder, std::vector<TasFile>& files) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string fileName = entry.path().filename().string();
        const auto dot = fileName.rfind('.');
        if (dot == std::string::npos || fileName.compare(dot, std::string::npos, ".data") != 0) {
            continue;
        }
        files.push_back(TasFile{fileName.substr(0, dot), entry.path()});
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
    std::vector<TasFile> files;
    try {
        ListRunFiles(DataFolder, files);
    } catch (const std::exception& e) {
        // The list keeps what was gathered before the failure.
        LogLine(fmt::format("Error listing files: {}", e.what()));
    }
    PublishRunFiles(std::move(files));
}

void Gyrolog::PublishRunFiles(std::vector<TasFile> files) {
    auto published = std::make_shared<const std::vector<TasFile>>(std::move(files));
    std::lock_guard lock(TasFilesLock);
    TasFiles.swap(published); // the old list goes when its last reader lets it go
}

std::shared_ptr<const std::vector<TasFile>> Gyrolog::RunFiles() {
    std::lock_guard lock(TasFilesLock);
    return TasFiles;
}

void Gyrolog::SaveTas() {
    // The run editor may be changing the name or the starting states.
    std::lock_guard lock(LoadedTasLock);
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
    const auto files = RunFiles();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    const TasFile& file = (*files)[index];
    TasReadResult result;
    try {
        std::ifstream stream(file.Path, std::ios::binary);
        std::lock_guard lock(LoadedTasLock); // the run is replaced under the run editor
        result = ReadTas(LoadedTas, stream, file.Name);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error loading file: {}", e.what()));
        ShowToast("Error loading file, check logs", 3);
        return;
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
    const auto files = RunFiles();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    std::vector<TasFile> relisted;
    bool removed = false;
    try {
        fs::remove((*files)[index].Path); // a file already gone is no failure
        removed = true;
        ListRunFiles(DataFolder, relisted);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error deleting file: {}", e.what()));
        ShowToast("Error deleting file, check logs", 3);
    }
    if (removed) {
        PublishRunFiles(std::move(relisted)); // what was gathered, even after a failure
    }
}
