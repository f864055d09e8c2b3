#include "Gyrolog.h"

#include <algorithm>
#include <chrono>
#include <fmt/core.h>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
    }
}

// Unique without asking the disk, so a tick can start a journal.
std::string NewJournalName() {
    static uint64_t sequence = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return fmt::format("run-{}-{}.journal",
                       std::chrono::duration_cast<std::chrono::microseconds>(now).count(),
                       ++sequence);
}

struct ReadJournal {
    JournalReadResult result;
    std::unique_ptr<Tas> run = std::make_unique<Tas>();
};

ReadJournal ReadJournalFile(const fs::path& path) {
    ReadJournal read;
    std::ifstream stream(path, std::ios::binary);
    read.result = ReadRecoveryJournal(stream, fs::file_size(path), *read.run);
    return read;
}

} // namespace

fs::path Gyrolog::RecoveryFolder() const {
    return DataFolder / "recovery";
}

fs::path Gyrolog::NewJournalPath() const {
    return RecoveryFolder() / NewJournalName();
}

void Gyrolog::MarkUnsaved() {
    RunUnsaved = true;
    if (!Journal.Active()) {
        Journal.Begin(NewJournalPath(), NextJournalBase);
    }
}

// Called where the loaded run becomes what a file holds, or a new run.
void Gyrolog::SetJournalBase(const std::string& name, const std::optional<TasFile>& file) {
    NextJournalBase.Name = name;
    NextJournalBase.File = file;
    NextJournalBase.Frames = LoadedTas.Data.Inputs.size();
    NextJournalBase.Record = file ? std::string() : BaseRecord(name, LoadedTas.Data);
}

void Gyrolog::ReportJournalFailures() {
    for (const std::string& failure : Journal.TakeFailures()) {
        LogLine("Error keeping unsaved work for recovery: " + failure);
    }
}

void Gyrolog::FindRecoveries() {
    const fs::path folder = RecoveryFolder();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return;
    }
    std::vector<fs::path> journals;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file(error) && entry.path().extension() == ".journal") {
            journals.push_back(entry.path());
        }
    }
    std::sort(journals.begin(), journals.end());
    std::vector<FoundRecovery> found;
    for (const fs::path& journal : journals) {
        const ReadJournal read = ReadJournalFile(journal);
        if (read.result.outcome != JournalReadResult::Read) {
            SetAsideRecovery(journal, read.result.name, JournalProblem(read.result.outcome));
            continue;
        }
        const uint64_t frames = RecoveredFrames(*read.run);
        LogLine(fmt::format(
            "Unsaved run {} found: {} frames (tas_recover loads it, tas_discardrecovery drops it)",
            read.result.name, frames));
        ShowToast(fmt::format("Unsaved run {} found: Recover or Discard it on the Files tab",
                              read.result.name),
                  2);
        found.push_back({read.result.name, frames, journal});
    }
    PublishRecoveries(std::move(found));
}

void Gyrolog::SetAsideRecovery(const fs::path& journal, const std::string& name, const char* why) {
    fs::path aside = journal;
    aside += ".unreadable";
    fs::rename(journal, aside);
    LogLine(fmt::format("Unsaved run {} not recovered, {}: moved aside as {}",
                        name.empty() ? journal.filename().string() : name, why,
                        aside.filename().string()));
}

void Gyrolog::PublishRecoveries(std::vector<FoundRecovery> found) {
    auto published = std::make_shared<const std::vector<FoundRecovery>>(std::move(found));
    std::lock_guard lock(TasFilesLock);
    FoundRecoveries.swap(published);
}

std::shared_ptr<const std::vector<FoundRecovery>> Gyrolog::Recoveries() {
    std::lock_guard lock(TasFilesLock);
    return FoundRecoveries;
}

void Gyrolog::RecoverRun() {
    const auto found = Recoveries();
    if (found->empty()) {
        LogLine("No unsaved run to recover");
        return;
    }
    const FoundRecovery recovery = found->front();
    PublishRecoveries(std::vector<FoundRecovery>(found->begin() + 1, found->end()));
    ReadJournal read = ReadJournalFile(recovery.Journal);
    if (read.result.outcome != JournalReadResult::Read) {
        SetAsideRecovery(recovery.Journal, recovery.Name, JournalProblem(read.result.outcome));
        return;
    }
    Tas& run = *read.run;
    ReplacedRun recovered;
    recovered.Name = run.Name;
    recovered.Data = std::move(run.Data);
    recovered.Unsaved = true;
    recovered.Pending = TakePending(run);
    ReplaceLoadedRun(std::move(recovered), "recovery of " + recovery.Name);
    Journal.Resume(recovery.Journal, read.result.validBytes);
    const uint64_t frames = RecoveredFrames(LoadedTas);
    LogLine(fmt::format("Unsaved run {} recovered: {} frames", recovery.Name, frames));
    ShowToast(recovery.Name + " recovered", 1);
}

void Gyrolog::DiscardRecovery() {
    const auto found = Recoveries();
    if (found->empty()) {
        LogLine("No unsaved run to discard");
        return;
    }
    const FoundRecovery recovery = found->front();
    fs::remove(recovery.Journal);
    PublishRecoveries(std::vector<FoundRecovery>(found->begin() + 1, found->end()));
    LogLine(fmt::format("Unsaved run {} discarded", recovery.Name));
}

void Gyrolog::KeepForRecovery() {
    if (RunUnsaved) {
        std::string name;
        {
            std::lock_guard lock(LoadedTasLock);
            name = LoadedTas.Name;
        }
        LogLine(fmt::format("Unsaved run {} kept for recovery", name));
    }
    Journal.Join();
    ReportJournalFailures();
}
