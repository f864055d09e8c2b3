#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Copies up to bytes more of source's first total elements onto copy; whether
// copy then holds all of them. A big copy made a slice a game frame keeps
// each frame's share of it short.
template <typename T>
bool CopySlice(std::vector<T>& copy, const std::vector<T>& source, size_t total, size_t bytes) {
    const size_t count = std::min(total - copy.size(), bytes / sizeof(T));
    copy.insert(copy.end(), source.begin() + copy.size(), source.begin() + copy.size() + count);
    return copy.size() == total;
}
