#include "runs/RecoveryWriter.h"
#include "runs/DurableFiles.h"
#include "runs/RunFolder.h"

#include <exception>
#include <fstream>
#include <limits>

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

void RecoveryWriter::Join() {
    if (!Thread.joinable()) {
        return;
    }
    End();
    {
        std::lock_guard lock(QueueLock);
        Stopping = true;
    }
    QueueChanged.notify_one();
    Thread.join();
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
    if (!Open || (Current->Count == 0 && Current->TeleportFrames.empty())) {
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
    Post(Task(Task::Delete));
    Open = false;
    JournalPath.clear();
}

std::vector<std::string> RecoveryWriter::TakeFailures() {
    std::lock_guard lock(QueueLock);
    return std::exchange(Failures, {});
}

void RecoveryWriter::Post(Task task) {
    {
        std::lock_guard lock(QueueLock);
        Queue.push_back(std::move(task));
    }
    QueueChanged.notify_one();
}

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
            try {
                Do(task);
            } catch (const std::exception& e) {
                Fail(e.what());
            }
        }
        tasks.clear();
        // On the disk after each batch: neither a crash of the game nor a
        // power loss takes what was written so far.
        if (File && !File->flush()) {
            Fail("cannot write " + FilePath.string());
            File.reset();
        }
        if (File) {
            try {
                FlushFileToDisk(FilePath);
            } catch (const std::exception& e) {
                Fail(e.what());
            }
        }
    }
}

void RecoveryWriter::Do(Task& task) {
    switch (task.kind) {
    case Task::Open:
    case Task::Reopen:
        File.reset();
        OpenJournal(task);
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
        File.reset();
        break;
    case Task::Delete:
        File.reset();
        fs::remove(FilePath);
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
        return;
    }
    std::string base = task.base.Record;
    if (task.base.File) {
        const RunLoadResult loaded = LoadRun(*task.base.File);
        const bool read = loaded.file.outcome == ReadOutcome::Loaded ||
                          loaded.file.outcome == ReadOutcome::CutShort;
        if (!read || loaded.data.Inputs.size() != task.base.Frames) {
            Fail("the file of " + task.base.Name + " changed since it was loaded");
            return;
        }
        base = BaseRecord(task.base.Name, loaded.data);
    }
    File = std::make_unique<std::ofstream>(task.path, std::ios::binary | std::ios::trunc);
    const std::string header = JournalHeader();
    File->write(header.data(), static_cast<std::streamsize>(header.size()));
    File->write(base.data(), static_cast<std::streamsize>(base.size()));
}

void RecoveryWriter::Fail(const std::string& what) {
    std::lock_guard lock(QueueLock);
    Failures.push_back(what);
}
