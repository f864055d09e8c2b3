#include "runs/files/TraceSaver.h"
#include "runs/files/RunFile.h"

#include <exception>
#include <utility>

TraceSaver::~TraceSaver() {
    {
        std::lock_guard lock(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    if (Thread.joinable()) {
        Thread.join();
    }
}

void TraceSaver::Save(const std::filesystem::path& runFile, const std::string& name,
                      uint64_t frames, std::vector<TraceEntry> trace,
                      std::vector<Keyframe> keyframes) {
    {
        std::lock_guard lock(Lock);
        Jobs.push_back(Job{runFile, name, frames, std::move(trace), std::move(keyframes)});
    }
    if (!Thread.joinable()) {
        Thread = std::thread([this] { Run(); });
    }
    Changed.notify_all();
}

void TraceSaver::Await() {
    std::unique_lock lock(Lock);
    Changed.wait(lock, [this] { return Jobs.empty() && !Writing; });
}

std::vector<std::string> TraceSaver::TakeReports() {
    std::lock_guard lock(Lock);
    Reported = false;
    return std::exchange(Reports, {});
}

void TraceSaver::Run() {
    std::unique_lock lock(Lock);
    while (true) {
        Changed.wait(lock, [this] { return Stopping || !Jobs.empty(); });
        if (Jobs.empty()) {
            return; // stopping, with every write done
        }
        Job job = std::move(Jobs.front());
        Jobs.pop_front();
        Writing = true;
        lock.unlock();
        std::string report = Write(job);
        lock.lock();
        Writing = false;
        Reports.push_back(std::move(report));
        Reported = true;
        Changed.notify_all();
    }
}

std::string TraceSaver::Write(Job& job) {
    try {
        TasData run;
        if (!ReadRunFileWhole(job.RunFile, run) || run.Inputs.size() != job.Frames) {
            return "The trace of " + job.Name + " was not written: its run file changed";
        }
        run.Trace = std::move(job.Trace);
        run.Keyframes = std::move(job.Keyframes);
        SaveTraceFile(job.RunFile, run);
        return "Trace of " + job.Name +
               " written beside its run file: " + std::to_string(run.Trace.size()) + " of " +
               std::to_string(job.Frames) + " frames";
    } catch (const std::exception& e) {
        return "Error writing the trace of " + job.Name + ": " + e.what();
    }
}
