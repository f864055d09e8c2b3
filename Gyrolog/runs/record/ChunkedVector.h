#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// A growable array for the game thread's per-tick records: it grows by whole
// chunks of fixed size and never moves what it holds, so no push_back copies
// the elements already there (a doubling vector copies all of them at each
// doubling, which for an hour of ticks takes longer than a tick). A fresh
// chunk's pages are touched only as its elements are written.
//
// Elements are trivially copyable records: they are copied bytewise and never
// destroyed one by one.
template <typename T, size_t ChunkBytes = size_t{1} << 16> class ChunkedVector {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    static constexpr size_t ChunkSize = ChunkBytes / sizeof(T) > 0 ? ChunkBytes / sizeof(T) : 1;

    ChunkedVector() = default;
    // The source is left empty, without chunks.
    ChunkedVector(ChunkedVector&& other) noexcept
        : chunks_(std::move(other.chunks_)), size_(std::exchange(other.size_, 0)) {}
    ChunkedVector& operator=(ChunkedVector&& other) noexcept {
        chunks_ = std::move(other.chunks_);
        other.chunks_.clear();
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    ChunkedVector(const ChunkedVector&) = delete;
    ChunkedVector& operator=(const ChunkedVector&) = delete;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](size_t index) { return chunks_[index / ChunkSize][index % ChunkSize]; }
    const T& operator[](size_t index) const {
        return chunks_[index / ChunkSize][index % ChunkSize];
    }

    void push_back(const T& value) {
        if (size_ == chunks_.size() * ChunkSize) {
            AddChunk();
        }
        ::new (static_cast<void*>(&(*this)[size_])) T(value);
        ++size_;
    }

    // Keeps the chunks for the next records, as a vector keeps its capacity:
    // the next recording writes into memory already there.
    void clear() { size_ = 0; }

    // Appends every element to out, one chunk at a time.
    void AppendTo(std::vector<T>& out) const {
        out.reserve(out.size() + size_);
        for (size_t first = 0; first < size_; first += ChunkSize) {
            const T* chunk = chunks_[first / ChunkSize].get();
            const size_t count = size_ - first < ChunkSize ? size_ - first : ChunkSize;
            out.insert(out.end(), chunk, chunk + count);
        }
    }

private:
    struct ChunkRelease {
        void operator()(T* chunk) const { std::allocator<T>().deallocate(chunk, ChunkSize); }
    };
    using Chunk = std::unique_ptr<T[], ChunkRelease>;

    // Raw storage: constructing the elements here would write every page of
    // the chunk at once.
    void AddChunk() { chunks_.push_back(Chunk(std::allocator<T>().allocate(ChunkSize))); }

    std::vector<Chunk> chunks_; // the table: a few pointers per hour of records
    size_t size_ = 0;
};
