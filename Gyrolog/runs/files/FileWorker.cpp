#include "runs/files/FileWorker.h"

#include <utility>

FileWorker::~FileWorker() {
    {
        std::lock_guard lock(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    if (Thread.joinable()) {
        Thread.join();
    }
}

void FileWorker::Release(std::shared_ptr<const void> value) {
    if (!value) {
        return;
    }
    Enqueue(Job{[held = std::move(value)]() mutable {
                    held.reset();
                    return std::string();
                },
                false});
}

void FileWorker::Post(std::function<std::string()> job) {
    Enqueue(Job{std::move(job)});
}

void FileWorker::Enqueue(Job job) {
    {
        std::lock_guard lock(Lock);
        Jobs.push_back(std::move(job));
    }
    if (!Thread.joinable()) {
        Thread = std::thread([this] { Run(); });
    }
    Changed.notify_all();
}

void FileWorker::Await() {
    std::unique_lock lock(Lock);
    Changed.wait(lock, [this] { return Jobs.empty() && !Working; });
}

std::vector<std::string> FileWorker::TakeReports() {
    std::lock_guard lock(Lock);
    Reported = false;
    return std::exchange(Reports, {});
}

void FileWorker::Run() {
    std::unique_lock lock(Lock);
    while (true) {
        Changed.wait(lock, [this] { return Stopping || !Jobs.empty(); });
        if (Jobs.empty()) {
            return; // stopping, with every job done
        }
        auto job = std::move(Jobs.front());
        Jobs.pop_front();
        Working = true;
        lock.unlock();
        std::string report = job.Work();
        job.Work = nullptr; // what it holds goes off the game thread too
        lock.lock();
        Working = false;
        if (job.Reported) {
            Reports.push_back(std::move(report));
            Reported = true;
        }
        Changed.notify_all();
    }
}
