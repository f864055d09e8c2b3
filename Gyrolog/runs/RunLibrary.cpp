#include "Gyrolog.h"
#include "runs/RunFile.h"
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
        SaveRun(DataFolder, name, LoadedTas.Data);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error saving file: {}", e.what()));
        ShowToast("Error saving file, check logs", 3);
        return;
    }
    SetJournalBase(name, TasFile{name, RunFilePath(DataFolder, name)});
    if (LoadedTas.InputsApplied) { // a pending take-over is still kept for recovery
        Journal.Remove();
        RunUnsaved = false;
    }
    ReportJournalFailures();
    ShowToast(name + " saved to file", 1);
}

void Gyrolog::LoadTas(int index) {
    const auto files = RunFiles();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    const TasFile file = (*files)[index];
    RunLoadResult loaded;
    try {
        std::lock_guard lock(LoadedTasLock); // the run is replaced under the run editor
        loaded = LoadRun(file, LoadedTas);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error loading file: {}", e.what()));
        ShowToast("Error loading file, check logs", 3);
        return;
    }
    const TasReadResult& result = loaded.file;
    if (result.outcome == ReadOutcome::Loaded || result.outcome == ReadOutcome::CutShort) {
        Stop(); // the reset run must not keep the old one's speed or pending start
        Journal.End();
        RunUnsaved = false;
        {
            std::lock_guard lock(LoadedTasLock);
            SetJournalBase(file.Name, file);
        }
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
    const auto files = RunFiles();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    // Built aside and published whole: the list as it was when the removal
    // fails, what was gathered when the listing fails.
    std::vector<TasFile> relisted = *files;
    const TasFile& file = (*files)[index];
    try {
        const RunDeleteResult deleted = DeleteRun(file, DataFolder, relisted);
        if (deleted.traceLeft) {
            LogLine(fmt::format("Deleted {}, but its trace file {} stays: {}", file.Name,
                                Utf8FromPath(deleted.traceLeft->path), deleted.traceLeft->why));
            ShowToast(file.Name + " deleted, but not its trace file, check logs", 2);
        }
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error deleting file: {}", e.what()));
        ShowToast("Error deleting file, check logs", 3);
    }
    PublishRunFiles(std::move(relisted));
}
