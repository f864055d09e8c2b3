#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// File work done on a thread of its own, in the order it was handed over:
// the game thread hands over a job and never waits, except before it
// changes the files the jobs write (Await). Each job returns its report;
// freeing what a job held is done there too.
class FileWorker {
public:
    FileWorker() = default;
    ~FileWorker(); // finishes the jobs handed over
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // job must not throw; it returns what it did, for the console.
    void Post(std::function<std::string()> job);
    // Lets value go there, unreported: the last owner of tens of megabytes
    // would stall the game thread freeing them.
    void Release(std::shared_ptr<const void> value);
    // Until every job handed over is done: none holds a file open then.
    void Await();
    // Cheap, for a tick: whether TakeReports has lines.
    bool HasReports() const { return Reported.load(std::memory_order_acquire); }
    // The finished jobs' reports, in the order the jobs were handed over.
    std::vector<std::string> TakeReports();

private:
    struct Job {
        std::function<std::string()> Work;
        bool Reported = true;
    };
    void Enqueue(Job job);
    void Run();

    // Shared: held only to move jobs and reports in or out.
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<Job> Jobs;
    bool Working = false;
    bool Stopping = false;
    std::vector<std::string> Reports;
    std::atomic<bool> Reported = false;
    // Started by the first Post, on the game thread; joined at destruction.
    std::thread Thread;
};
