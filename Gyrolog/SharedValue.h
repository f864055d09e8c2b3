#pragma once

#include <memory>
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

// A value published whole by one thread and read as a snapshot by others: a
// reader keeps the snapshot it took as long as it likes, and nobody changes
// or frees it under it. The lock is held only to copy or swap the pointer.
template <typename T> class Published {
public:
    std::shared_ptr<const T> Get() const {
        std::lock_guard lock(lock_);
        return value_;
    }
    void Publish(T value) {
        auto next = std::make_shared<const T>(std::move(value));
        std::lock_guard lock(lock_);
        value_.swap(next); // the old one goes when its last reader lets it go
    }

private:
    mutable std::mutex lock_;
    std::shared_ptr<const T> value_ = std::make_shared<const T>();
};
