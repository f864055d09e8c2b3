#pragma once

#include "runs/record/Keyframe.h"
#include "runs/record/RunTrace.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes traces that replays grew beside the run files they belong to, on a
// thread of its own: the game thread hands over a copy and never waits,
// except before it changes a run file (Await). The run file is read back
// there for the trace's digest, so the game thread hashes nothing.
class TraceSaver {
public:
    TraceSaver() = default;
    ~TraceSaver(); // finishes the writes handed over
    TraceSaver(const TraceSaver&) = delete;
    TraceSaver& operator=(const TraceSaver&) = delete;

    // The trace of the run that runFile holds, of frames frames; name is
    // for the reports.
    void Save(const std::filesystem::path& runFile, const std::string& name, uint64_t frames,
              std::vector<TraceEntry> trace, std::vector<Keyframe> keyframes);
    // Until every write handed over is done: none holds a file open then.
    void Await();
    // Cheap, for a tick: whether TakeReports has lines.
    bool HasReports() const { return Reported.load(std::memory_order_acquire); }
    // What each finished write did, for the console.
    std::vector<std::string> TakeReports();

private:
    struct Job {
        std::filesystem::path RunFile;
        std::string Name;
        uint64_t Frames = 0;
        std::vector<TraceEntry> Trace;
        std::vector<Keyframe> Keyframes;
    };
    void Run();
    static std::string Write(Job& job);

    // Shared: held only to move jobs and reports in or out.
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<Job> Jobs;
    bool Writing = false;
    bool Stopping = false;
    std::vector<std::string> Reports;
    std::atomic<bool> Reported = false;
    // Started by the first Save, on the game thread; joined at destruction.
    std::thread Thread;
};
