#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// While set, allocations of at least this many bytes fail: memory running
// out for real, inside the plugin's own code. Not under the address
// sanitizer, which keeps its own allocation operators.
extern std::atomic<size_t> failingAllocationBytes;

// Allocations this large or larger fail while it lives.
class AllocationsFailFrom {
public:
    explicit AllocationsFailFrom(size_t bytes) { failingAllocationBytes = bytes; }
    ~AllocationsFailFrom() { failingAllocationBytes = SIZE_MAX; }
    AllocationsFailFrom(const AllocationsFailFrom&) = delete;
    AllocationsFailFrom& operator=(const AllocationsFailFrom&) = delete;
};
