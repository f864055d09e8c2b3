#include "Gyrolog.h"
#include "runs/files/RunFile.h"

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

// A file name for the console, also one that is not UTF-8.
std::string Shown(const fs::path& path) {
    try {
        return Utf8FromPath(path.filename());
    } catch (const std::exception&) {
        return "(a file name that is not UTF-8)";
    }
}

// What a recovery folder entry is when it is no file to read.
const char* NotAFile(const fs::file_status& status) {
    switch (status.type()) {
    case fs::file_type::regular:
        return nullptr;
    case fs::file_type::directory:
        return "a folder";
    case fs::file_type::symlink:
        return "a link";
    default:
        return "not a regular file";
    }
}

constexpr const char* SetAsideExtensions[] = {".unreadable", ".damaged"};
constexpr size_t SetAsideKept = 5;

bool IsSetAside(const fs::path& path) {
    for (const char* extension : SetAsideExtensions) {
        if (path.extension() == extension) {
            return true;
        }
    }
    return false;
}

// Journals set aside are kept for a look, the newest few only.
void RemoveOldSetAside(std::vector<std::pair<fs::file_time_type, fs::path>> setAside) {
    if (setAside.size() <= SetAsideKept) {
        return;
    }
    std::sort(setAside.begin(), setAside.end());
    for (size_t i = 0; i + SetAsideKept < setAside.size(); ++i) {
        std::error_code error;
        if (fs::remove(setAside[i].second, error)) {
            LogLine("Removed the oldest journal set aside, " + Shown(setAside[i].second));
        }
    }
}

// A journal that cannot be recovered, moved aside for a look.
void SetAside(const fs::path& journal, const std::string& name, const char* why) {
    fs::path aside = journal;
    aside += ".unreadable";
    fs::rename(journal, aside);
    LogLine(fmt::format("Unsaved run {} not recovered, {}: moved aside as {}",
                        name.empty() ? Shown(journal) : name, why, Shown(aside)));
}

} // namespace

// Each entry on its own: one that cannot be read or set aside does not hide
// the others. Only regular files are read; links are never followed.
void Gyrolog::FindRecoveries() {
    const fs::path folder = Editor.RecoveryFolder();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return;
    }
    std::vector<fs::path> journals;
    std::vector<std::pair<fs::file_time_type, fs::path>> setAside;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::path path = entries->path();
        const fs::file_status status = fs::symlink_status(path, error);
        if (error) {
            LogLine(fmt::format("Recovery folder entry {} left alone: {}", Shown(path),
                                error.message()));
            error.clear();
        } else if (const char* what = NotAFile(status)) {
            LogLine(
                fmt::format("Recovery folder entry {} left alone: it is {}", Shown(path), what));
        } else if (path.extension() == ".journal") {
            journals.push_back(path);
        } else if (IsSetAside(path)) {
            setAside.emplace_back(fs::last_write_time(path, error), path);
        }
    }
    if (error) {
        LogLine(fmt::format("Error reading the recovery folder: {}", error.message()));
    }
    std::sort(journals.begin(), journals.end());
    std::vector<FoundRecovery> found;
    for (const fs::path& journal : journals) {
        try {
            const ReadJournal read = ReadJournalFile(journal);
            if (read.result.outcome != JournalReadResult::Read) {
                fs::path aside = journal;
                aside += ".unreadable";
                SetAside(journal, read.result.name, JournalProblem(read.result.outcome));
                setAside.emplace_back(fs::file_time_type::clock::now(), aside);
                continue;
            }
            const uint64_t frames = RecoveredFrames(*read.run);
            const bool damaged = read.result.damaged;
            LogLine(fmt::format("Unsaved run {} found: {} frames{} (tas_recover loads {}, "
                                "tas_discardrecovery drops it)",
                                read.result.name, frames, damaged ? ", damaged after them" : "",
                                damaged ? "them" : "it"));
            ShowToast(fmt::format("Unsaved run {} found: Recover or Discard it on the Files tab",
                                  read.result.name),
                      ToastKind::Warning);
            found.push_back({read.result.name, frames, journal, damaged});
        } catch (const std::exception& e) {
            LogLine(fmt::format("Unsaved run {} not recovered: {}", Shown(journal), e.what()));
        }
    }
    RemoveOldSetAside(std::move(setAside));
    FoundRecoveries.Publish(std::move(found));
}

void Gyrolog::RecoverRun() {
    const auto found = FoundRecoveries.Get();
    if (found->empty()) {
        LogLine("No unsaved run to recover");
        return;
    }
    const FoundRecovery recovery = found->front();
    FoundRecoveries.Publish(std::vector<FoundRecovery>(found->begin() + 1, found->end()));
    ReadJournal read = ReadJournalFile(recovery.Journal);
    if (read.result.outcome != JournalReadResult::Read) {
        SetAside(recovery.Journal, recovery.Name, JournalProblem(read.result.outcome));
        return;
    }
    Tas& run = *read.run;
    ReplacedRun recovered;
    recovered.Name = run.Name;
    recovered.Data = std::move(run.Data);
    recovered.Unsaved = true;
    recovered.Pending = TakePending(run);
    // A damaged journal is never cut: the records after the damage may hold
    // work. It stays aside, and the run goes on in a journal of its own.
    fs::path aside;
    if (read.result.damaged) {
        aside = recovery.Journal;
        aside += ".damaged";
        fs::rename(recovery.Journal, aside);
    }
    Editor.ReplaceLoadedRun(std::move(recovered), "recovery of " + recovery.Name);
    if (aside.empty()) {
        Editor.ResumeJournal(recovery.Journal, read.result.validBytes);
    } else {
        Editor.RejournalRun();
    }
    const uint64_t frames = RecoveredFrames(LoadedTas);
    LogLine(fmt::format("Unsaved run {} recovered: {} frames{}", recovery.Name, frames,
                        aside.empty() ? "" : "; its damaged journal is kept as " + Shown(aside)));
    ShowToast(recovery.Name + " recovered", ToastKind::Success);
}

void Gyrolog::DiscardRecovery() {
    const auto found = FoundRecoveries.Get();
    if (found->empty()) {
        LogLine("No unsaved run to discard");
        return;
    }
    const FoundRecovery recovery = found->front();
    fs::remove(recovery.Journal);
    FoundRecoveries.Publish(std::vector<FoundRecovery>(found->begin() + 1, found->end()));
    LogLine(fmt::format("Unsaved run {} discarded", recovery.Name));
}
