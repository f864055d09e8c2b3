#include "runs/recovery/RecoveryWriter.h"
#include "runs/files/DurableFiles.h"
#include "runs/files/RunFile.h"
#include "runs/files/RunFolder.h"

#include <exception>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace fs = std::filesystem;

RecoveryWriter::~RecoveryWriter() {
    Join();
}

void RecoveryWriter::Start() {
    if (!Thread.joinable()) {
        Stopping = false;
        Thread = std::thread([this] { Run(); });
    }
}

bool RecoveryWriter::Join() {
    if (!Thread.joinable()) {
        return false;
    }
    End();
    {
        std::lock_guard lock(QueueLock);
        Stopping = true;
    }
    QueueChanged.notify_one();
    Thread.join();
    return Kept;
}

void RecoveryWriter::Begin(const fs::path& path, const JournalBase& base) {
    End();
    Task task(Task::Open, path);
    task.base = base;
    Post(std::move(task));
    Open = true;
    JournalPath = path;
}

void RecoveryWriter::Resume(const fs::path& path, uint64_t validBytes) {
    End();
    Task task(Task::Reopen, path);
    task.validBytes = validBytes;
    Post(std::move(task));
    Open = true;
    JournalPath = path;
}

void RecoveryWriter::Reopen(const std::filesystem::path& path) {
    Resume(path, std::numeric_limits<uint64_t>::max());
}

void RecoveryWriter::Write(JournalRecord kind, std::string payload) {
    if (!Open) {
        return;
    }
    HandOver();
    Task task(Task::WriteRecord);
    task.record = kind;
    task.bytes = std::move(payload);
    Post(std::move(task));
}

void RecoveryWriter::TakeOver(uint64_t frame, uint64_t nextTeleport) {
    if (!Open) {
        return;
    }
    HandOver();
    Task task;
    task.bytes = TakeOverRecord(frame, nextTeleport);
    Post(std::move(task));
}

void RecoveryWriter::Teleport(uint64_t frame) {
    if (Open) {
        Current->TeleportFrames.push_back(frame);
    }
}

void RecoveryWriter::HandOver() {
    if (!Open ||
        (Current->Count == 0 && Current->TeleportFrames.empty() && Current->Keyframes.empty())) {
        return;
    }
    Task task(Task::WriteBlock);
    task.block = std::exchange(Current, std::make_unique<RecordingBlock>());
    Post(std::move(task));
}

void RecoveryWriter::Merge() {
    if (!Open) {
        return;
    }
    HandOver();
    Task task;
    task.bytes = EmptyRecord(JournalRecord::Merge);
    Post(std::move(task));
}

void RecoveryWriter::DropPending() {
    if (!Open) {
        return;
    }
    HandOver();
    Task task;
    task.bytes = EmptyRecord(JournalRecord::DropPending);
    Post(std::move(task));
}

void RecoveryWriter::End() {
    if (!Open) {
        return;
    }
    HandOver();
    Post(Task(Task::Close));
    Open = false;
}

void RecoveryWriter::Remove() {
    if (!Open) {
        return;
    }
    Current->Count = 0; // saved: nothing of it is needed any more
    Current->TeleportFrames.clear();
    Current->Keyframes.clear();
    Post(Task(Task::Delete));
    Open = false;
    JournalPath.clear();
}

std::vector<std::string> RecoveryWriter::TakeFailures() {
    std::lock_guard lock(QueueLock);
    return std::exchange(Failures, {});
}

bool RecoveryWriter::PollDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastPoll < HandOverAfter) {
        return false;
    }
    LastPoll = now;
    return true;
}

void RecoveryWriter::AwaitFileTasks() {
    std::unique_lock lock(QueueLock);
    FileTasksDone.wait_for(lock, std::chrono::seconds(5), [this] { return FileTasksLeft == 0; });
}

void RecoveryWriter::Post(Task task) {
    {
        std::lock_guard lock(QueueLock);
        if (task.kind == Task::Open || task.kind == Task::Delete) {
            ++FileTasksLeft;
        }
        Queue.push_back(std::move(task));
    }
    QueueChanged.notify_one();
}

// Nothing ends this thread but Join: a failure is noted and the next task
// goes on.
void RecoveryWriter::Run() {
    std::vector<Task> tasks;
    for (;;) {
        {
            std::unique_lock lock(QueueLock);
            QueueChanged.wait(lock, [this] { return !Queue.empty() || Stopping; });
            if (Queue.empty()) {
                return;
            }
            tasks.swap(Queue);
        }
        for (Task& task : tasks) {
            Guard([&] { Do(task); });
            if (task.kind == Task::Open || task.kind == Task::Delete) {
                {
                    std::lock_guard lock(QueueLock);
                    --FileTasksLeft;
                }
                FileTasksDone.notify_all();
            }
        }
        tasks.clear();
        // On the disk after each batch: neither a crash of the game nor a
        // power loss takes what was written so far.
        Guard([&] { FlushJournal(); });
    }
}

template <typename F> void RecoveryWriter::Guard(F&& work) noexcept {
    try {
        try {
            work();
        } catch (const std::exception& e) {
            Fail(e.what());
        } catch (...) {
            Fail("an unknown failure");
        }
    } catch (...) { // noting it failed too: the journal is no longer kept whole
        Kept = false;
    }
}

void RecoveryWriter::FlushJournal() {
    if (!File) {
        return;
    }
    if (!File->flush()) {
        File.reset();
        throw std::runtime_error("cannot write " + Utf8FromPath(FilePath));
    }
    FlushFileToDisk(FilePath);
}

void RecoveryWriter::Do(Task& task) {
    switch (task.kind) {
    case Task::Open:
    case Task::Reopen:
        CloseJournal();
        {
            std::lock_guard lock(QueueLock);
            JournalFailed = false;
        }
        Kept = false;
        OpenJournal(task);
        Kept = File != nullptr;
        break;
    case Task::Write:
        if (File) {
            File->write(task.bytes.data(), static_cast<std::streamsize>(task.bytes.size()));
        }
        break;
    case Task::WriteRecord:
        if (File) {
            const std::string record = FramedRecord(task.record, task.bytes);
            File->write(record.data(), static_cast<std::streamsize>(record.size()));
        }
        break;
    case Task::WriteBlock:
        if (File) {
            const std::string record = PendingRecord(*task.block);
            File->write(record.data(), static_cast<std::streamsize>(record.size()));
        }
        break;
    case Task::Close:
        CloseJournal();
        break;
    case Task::Delete:
        File.reset();
        Kept = false;
        // Gone from the disk before the save is reported: a crash right
        // after it finds no journal of the saved run.
        if (fs::remove(FilePath)) {
            FlushFolderToDisk(FilePath.parent_path());
        }
        break;
    }
}

void RecoveryWriter::OpenJournal(const Task& task) {
    FilePath = task.path;
    fs::create_directories(task.path.parent_path());
    if (task.kind == Task::Reopen) {
        if (task.validBytes != std::numeric_limits<uint64_t>::max()) {
            fs::resize_file(task.path, task.validBytes); // the torn tail goes
        }
        File = std::make_unique<std::ofstream>(task.path, std::ios::binary | std::ios::app);
        FailUnopened(task.path);
        return;
    }
    std::string base = task.base.Record;
    if (task.base.File) {
        const RunLoadResult loaded = LoadRun(*task.base.File);
        const bool read = loaded.file.outcome == ReadOutcome::Loaded ||
                          loaded.file.outcome == ReadOutcome::CutShort;
        if (!read || loaded.data.Inputs.size() != task.base.Frames) {
            // Changed under us: the game thread journals the run it holds.
            BaseChanged = true;
            return;
        }
        base = BaseRecord(task.base.Name, loaded.data);
    }
    File = std::make_unique<std::ofstream>(task.path, std::ios::binary | std::ios::trunc);
    const std::string header = JournalHeader();
    File->write(header.data(), static_cast<std::streamsize>(header.size()));
    File->write(base.data(), static_cast<std::streamsize>(base.size()));
    FailUnopened(task.path);
}

void RecoveryWriter::FailUnopened(const fs::path& path) {
    if (!*File) {
        File.reset();
        throw std::runtime_error("cannot open " + Utf8FromPath(path));
    }
}

void RecoveryWriter::CloseJournal() {
    if (File) {
        FlushJournal();
        File.reset();
    }
}

// Said once per journal: the first failure is the one that explains it.
void RecoveryWriter::Fail(const std::string& what) {
    Kept = false;
    std::lock_guard lock(QueueLock);
    if (!JournalFailed) {
        JournalFailed = true;
        Failures.push_back(what);
    }
}
