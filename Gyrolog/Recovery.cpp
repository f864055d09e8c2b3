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

void Gyrolog::FindRecoveries() {
    const fs::path folder = Editor.RecoveryFolder();
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
                  ToastKind::Warning);
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
    Editor.ReplaceLoadedRun(std::move(recovered), "recovery of " + recovery.Name);
    Editor.ResumeJournal(recovery.Journal, read.result.validBytes);
    const uint64_t frames = RecoveredFrames(LoadedTas);
    LogLine(fmt::format("Unsaved run {} recovered: {} frames", recovery.Name, frames));
    ShowToast(recovery.Name + " recovered", ToastKind::Success);
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
