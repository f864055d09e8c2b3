#pragma once

#include <mutex>
#include <utility>

// A small value written on one thread and read whole on another: a reader
// never sees part of one update and part of the next. The lock is held only
// to copy the value, never across other work.
template <typename T> class SharedValue {
public:
    T Get() const {
        std::lock_guard lock(lock_);
        return value_;
    }
    // Changes the value under the lock; change must be quick and call nothing.
    template <typename Change> void Update(Change&& change) {
        std::lock_guard lock(lock_);
        change(value_);
    }

private:
    mutable std::mutex lock_;
    T value_{};
};
