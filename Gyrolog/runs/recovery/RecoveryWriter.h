#pragma once

#include "runs/files/TasFile.h"
#include "runs/recovery/RecoveryJournal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Where a journal's base comes from: the run file it was loaded from or saved
// to (read by the writer, so the game thread copies nothing), or, for a run
// never saved, its base record made when the run was made.
struct JournalBase {
    std::string Name;
    std::optional<TasFile> File;
    uint64_t Frames = 0; // of the run as the file holds it
    std::string Record;  // when there is no file
};

// Keeps the loaded run's journal on a thread of its own. The game thread
// hands it finished pieces and never waits: a tick only copies its input
// into the current block, and hands the block over (a pointer pushed under a
// lock the writer holds only to take the queue) once it is full or half a
// second old.
class RecoveryWriter {
public:
    RecoveryWriter() = default;
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    void Start();
    // Writes everything handed over, closes the journal and ends the thread.
    // True when the journal last begun holds all of it: nothing failed on it
    // since it was opened, and it is still there.
    bool Join();

    // Starts a fresh journal at path from base.
    void Begin(const std::filesystem::path& path, const JournalBase& base);
    // Goes on with a journal whose first validBytes were read back whole.
    void Resume(const std::filesystem::path& path, uint64_t validBytes);
    // Goes on with a journal closed whole, appending to all it holds.
    void Reopen(const std::filesystem::path& path);
    bool Active() const { return Open; }
    // The journal begun or resumed last; it stays on the disk after End.
    const std::filesystem::path& Path() const { return JournalPath; }

    void TakeOver(uint64_t frame, uint64_t nextTeleport);
    void Record(const VehicleInput& input, const TraceEntry& trace) {
        if (!Open) {
            return;
        }
        RecordingBlock& block = *Current;
        if (block.Count == 0) {
            BlockBegun = std::chrono::steady_clock::now();
        }
        block.Inputs[block.Count] = input;
        block.Trace[block.Count] = trace;
        ++block.Count;
        if (block.Count == RecordingBlock::Capacity ||
            std::chrono::steady_clock::now() - BlockBegun >= HandOverAfter) {
            HandOver();
        }
    }
    void Teleport(uint64_t frame);
    void RecordKeyframe(const Keyframe& keyframe) {
        if (Open) {
            Current->Keyframes.push_back(keyframe);
        }
    }
    // Hands over the ticks of the current block, if any.
    void HandOver();
    void Merge();
    // A change other than recording: the writer frames the payload.
    void Write(JournalRecord kind, std::string payload);
    void DropPending();
    // Closes the journal and keeps it for the next start.
    void End();
    // Closes the journal and removes it: its run is saved.
    void Remove();

    // What went wrong on the writer's side since the last call: the first
    // failure of each journal.
    std::vector<std::string> TakeFailures();
    // For a tick: true at most once every half second, so that the tick
    // looks at the writer's state (and its lock) only that often.
    bool PollDue();
    // Waits (briefly) until the writer is done with the files of journals
    // begun or removed so far: the run file a base is read from, and the
    // journal of a run saved. For a save, which may replace that run file.
    void AwaitFileTasks();
    // Whether a run file changed before the writer read a base from it
    // (since the last call): that journal holds nothing, and the run is
    // journaled again from what the game thread holds.
    bool TakeBaseChanged() { return BaseChanged.exchange(false); }

private:
    struct Task {
        enum Kind { Open, Reopen, Write, WriteRecord, WriteBlock, Close, Delete };
        explicit Task(Kind what = Write, std::filesystem::path at = {})
            : kind(what), path(std::move(at)) {}
        Kind kind;
        std::filesystem::path path;
        JournalBase base;
        uint64_t validBytes = 0; // of a reopened journal; all of it when the most there is
        JournalRecord record = JournalRecord::Base;
        std::string bytes;
        std::unique_ptr<RecordingBlock> block;
    };
    static constexpr auto HandOverAfter = std::chrono::milliseconds(500);

    void Post(Task task);
    void Run();
    void Do(Task& task);
    void OpenJournal(const Task& task);
    void Fail(const std::string& what);
    template <typename F> void Guard(F&& work) noexcept;
    void FlushJournal();
    void CloseJournal();
    void FailUnopened(const std::filesystem::path& path);

    // Game thread.
    bool Open = false;
    std::filesystem::path JournalPath;
    std::unique_ptr<RecordingBlock> Current = std::make_unique<RecordingBlock>();
    std::chrono::steady_clock::time_point BlockBegun;
    std::chrono::steady_clock::time_point LastPoll;

    // Shared: held only to move tasks in or out and to note failures.
    std::mutex QueueLock;
    std::condition_variable QueueChanged;
    std::vector<Task> Queue;
    bool Stopping = false;
    std::vector<std::string> Failures;
    bool JournalFailed = false; // of the journal open now
    std::condition_variable FileTasksDone;
    int FileTasksLeft = 0; // Open and Delete tasks posted, not yet done

    // Writer thread.
    std::thread Thread;
    std::unique_ptr<std::ofstream> File;
    std::filesystem::path FilePath;
    bool Kept = false; // the journal open last holds everything written to it
    std::atomic<bool> BaseChanged = false;
};
