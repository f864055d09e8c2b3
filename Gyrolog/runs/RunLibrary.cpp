#include "Gyrolog.h"
#include "runs/RunFolder.h"

#include <fmt/core.h>

namespace fs = std::filesystem;

namespace {

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
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
        SaveRun(DataFolder, name, LoadedTas.Data);
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
    RunLoadResult loaded;
    try {
        loaded = LoadRun(file, LoadedTas);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error loading file: {}", e.what()));
        ShowToast("Error loading file, check logs", 3);
        return;
    }
    const TasReadResult& result = loaded.file;
    if (result.outcome == ReadOutcome::Loaded || result.outcome == ReadOutcome::CutShort) {
        Stop(); // the reset run must not keep the old one's speed or pending start
        if (loaded.trace && loaded.trace->fit != TraceFit::Belongs) {
            LogLine(IgnoredTraceLine(file.Name, *loaded.trace, LoadedTas.Data.Inputs.size()));
        }
        PublishRunCheck(true);
    }
    switch (result.outcome) {
    case ReadOutcome::Loaded:
        ShowToast(file.Name + " loaded", 1);
        break;
    case ReadOutcome::CutShort:
        ShowToast(file.Name + " loaded, file was cut short", 2);
        break;
    case ReadOutcome::Rejected:
        LogLine("Not a recognized tas, make sure your plugin is up to date and file is a tas file");
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
        DeleteRun(TasFiles[index], DataFolder, TasFiles);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error deleting file: {}", e.what()));
        ShowToast("Error deleting file, check logs", 3);
    }
}
