#include "Gyrolog.h"
#include "runs/files/RunFile.h"
#include "runs/files/RunFolder.h"

#include <fmt/core.h>

#include <utility>

namespace fs = std::filesystem;

namespace {

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
    }
}

// Lends the run's arrays to the copy being saved and takes them back when it
// goes, also when the save fails: a save copies no frame. The Inputs tab
// reads them meanwhile where they are lent (lentTo); both moves are made
// under the lock it reads them under.
class ArraysLent {
public:
    ArraysLent(std::mutex& lock, const TasData*& lentTo, TasData& owner, TasData& borrower)
        : lock_(lock), lentTo_(lentTo), owner_(owner), borrower_(borrower) {
        std::lock_guard guard(lock_);
        Swap();
        lentTo_ = &borrower_;
    }
    ~ArraysLent() {
        std::lock_guard guard(lock_);
        Swap();
        lentTo_ = nullptr;
    }
    ArraysLent(const ArraysLent&) = delete;
    ArraysLent& operator=(const ArraysLent&) = delete;

private:
    void Swap() noexcept {
        owner_.Inputs.swap(borrower_.Inputs);
        owner_.TeleportFrames.swap(borrower_.TeleportFrames);
        owner_.Trace.swap(borrower_.Trace);
        owner_.Keyframes.swap(borrower_.Keyframes);
        owner_.Markers.swap(borrower_.Markers);
    }

    std::mutex& lock_;
    const TasData*& lentTo_;
    TasData& owner_;
    TasData& borrower_;
};

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
    // A trace being written beside its run file leaves a save's record
    // meanwhile, which the listing would take for an interrupted save.
    Editor.BeforeRunFileChanges();
    std::vector<TasFile> files;
    try {
        ListRunFiles(DataFolder, files);
    } catch (const std::exception& e) {
        // The list keeps what was gathered before the failure.
        LogLine(fmt::format("Error listing files: {}", e.what()));
    }
    TasFiles.Publish(std::move(files));
}

void Gyrolog::SaveTas() {
    // The run editor may be changing the name or the starting states: they
    // are copied under its lock, and the files are written outside it.
    TasData saved;
    std::string name;
    {
        std::lock_guard lock(LoadedTasLock);
        name = LoadedTas.Name;
        saved.CarStart = LoadedTas.Data.CarStart;
        saved.BallStart = LoadedTas.Data.BallStart;
    }
    if (name.empty()) {
        ShowToast("TAS name can't be empty", ToastKind::Error);
        return;
    }
    saved.Hitbox = LoadedTas.Data.Hitbox;
    saved.AirSensitivity = LoadedTas.Data.AirSensitivity;
    saved.SteerSensitivity = LoadedTas.Data.SteerSensitivity;
    Editor.BeforeRunFileChanges(); // a journal's base is read from the file this may replace
    try {
        const ArraysLent lent(LoadedTasLock, LentRun, LoadedTas.Data, saved);
        SaveRun(DataFolder, name, saved);
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error saving file: {}", e.what()));
        ShowToast("Error saving file, check logs", ToastKind::Error);
        return;
    }
    Editor.RunSaved(name);
    Branches.RunSaved(name);
    ShowToast(name + " saved to file", ToastKind::Success);
    if (!LoadedTas.InputsApplied) {
        LogLine(fmt::format("{} saved without the take-over of {} frames, which is not applied",
                            name, LoadedTas.PendingInputs.size()));
        ShowToast("Saved without the take-over: Update first to keep it", ToastKind::Warning);
    }
}

void Gyrolog::LoadTas(int index) {
    const auto files = TasFiles.Get();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    const TasFile file = (*files)[index];
    Stop();                        // whatever the file holds, the running run ends, at normal speed
    Editor.BeforeRunFileChanges(); // a trace that replay grew is in place before it is read
    // Read aside, outside the run editor's lock: a load that fails at any step
    // leaves the loaded run as it was.
    RunLoadResult loaded;
    std::string ignoredTrace;
    try {
        loaded = LoadRun(file);
        if (loaded.trace && loaded.trace->fit != TraceFit::Belongs) {
            ignoredTrace = IgnoredTraceLine(file.Name, *loaded.trace, loaded.data.Inputs.size());
        }
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error loading file: {}", e.what()));
        ShowToast("Error loading file, check logs", ToastKind::Error);
        return;
    }
    const TasReadResult& result = loaded.file;
    switch (result.outcome) {
    case ReadOutcome::Loaded:
    case ReadOutcome::CutShort:
        break;
    case ReadOutcome::Rejected:
        LogLine("Not a recognized tas, make sure your plugin is up to date and file is a tas file");
        ShowToast("Error loading file, check logs", ToastKind::Error);
        return;
    case ReadOutcome::TooLarge:
        LogLine(fmt::format("Error loading file: {}", result.error));
        ShowToast("Error loading file, check logs", ToastKind::Error);
        return;
    }
    ReplacedRun incoming;
    incoming.Data = std::move(loaded.data);
    incoming.Name = file.Name;
    Editor.ReplaceLoadedRun(std::move(incoming), "load of " + file.Name);
    Editor.SetJournalBase(file.Name, file);
    if (!ignoredTrace.empty()) {
        LogLine(ignoredTrace);
    }
    if (result.outcome == ReadOutcome::CutShort) {
        ShowToast(file.Name + " loaded, file was cut short", ToastKind::Warning);
    } else {
        ShowToast(file.Name + " loaded", ToastKind::Success);
    }
    if (loaded.markers) {
        const std::string line = MarkersSetAsideLine(file.Name, *loaded.markers);
        LogLine(line);
        ShowToast(line, ToastKind::Warning);
    }
}

void Gyrolog::DeleteTas(int index) {
    const auto files = TasFiles.Get();
    if (index < 0 || static_cast<size_t>(index) >= files->size()) {
        return;
    }
    // Built aside and published whole: the list as it was when the removal
    // fails, what was gathered when the listing fails.
    std::vector<TasFile> relisted = *files;
    const TasFile& file = (*files)[index];
    Editor.BeforeRunFileChanges(); // a journal's base may be read from this file
    try {
        const RunDeleteResult deleted = DeleteRun(file, DataFolder, relisted);
        Branches.RunFileDeleted(file.Name);
        if (deleted.traceLeft) {
            LogLine(fmt::format("Deleted {}, but its trace file {} stays: {}", file.Name,
                                Utf8FromPath(deleted.traceLeft->path), deleted.traceLeft->why));
            ShowToast(file.Name + " deleted, but not its trace file, check logs",
                      ToastKind::Warning);
        }
        if (deleted.markersLeft) {
            LogLine(fmt::format("Deleted {}, but its markers file {} stays: {}", file.Name,
                                Utf8FromPath(deleted.markersLeft->path), deleted.markersLeft->why));
            ShowToast(file.Name + " deleted, but not its markers file, check logs",
                      ToastKind::Warning);
        }
    } catch (const std::exception& e) {
        LogLine(fmt::format("Error deleting file: {}", e.what()));
        ShowToast("Error deleting file, check logs", ToastKind::Error);
    }
    TasFiles.Publish(std::move(relisted));
}
