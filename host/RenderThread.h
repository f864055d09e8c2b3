#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sim {

// The host's render thread: it draws the plugin window while the game loop
// runs on the game thread, as the real host does. Jobs run one at a time, in
// the order they were handed over.
class RenderThread {
public:
    RenderThread();
    ~RenderThread(); // runs what is queued, then ends the thread
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    // Runs job on the render thread and waits for it, so that a scripted
    // session stays deterministic; on the render thread itself it runs at once.
    // An exception the job throws is thrown again here.
    void Run(const std::function<void()>& job);
    // Hands job over without waiting for it.
    void Post(std::function<void()> job);

    // Whether the calling thread is a host's render thread.
    static bool IsCurrent();

private:
    uint64_t Enqueue(std::function<void()> job); // returns the job's ticket
    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    uint64_t posted_ = 0;
    uint64_t finished_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sim
