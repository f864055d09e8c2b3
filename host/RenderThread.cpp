#include "RenderThread.h"

#include <exception>

namespace sim {
namespace {

thread_local bool onRenderThread = false;

} // namespace

RenderThread::RenderThread() : thread_([this] { Loop(); }) {}

RenderThread::~RenderThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool RenderThread::IsCurrent() {
    return onRenderThread;
}

uint64_t RenderThread::Enqueue(std::function<void()> job) {
    uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        ticket = ++posted_;
    }
    changed_.notify_all();
    return ticket;
}

void RenderThread::Post(std::function<void()> job) {
    Enqueue(std::move(job));
}

void RenderThread::Run(const std::function<void()>& job) {
    if (IsCurrent()) {
        job();
        return;
    }
    std::exception_ptr failure;
    const uint64_t ticket = Enqueue([&] {
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ >= ticket; });
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void RenderThread::Loop() {
    onRenderThread = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;
        }
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        ++finished_;
        changed_.notify_all();
    }
}

} // namespace sim
