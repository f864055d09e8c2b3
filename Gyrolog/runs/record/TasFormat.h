#pragma once

#include "runs/record/Tas.h"

#include <cstdint>
#include <iosfwd>
#include <string>

// Run files: little-endian, version 1, no alignment gaps.
//   int32 version | uint64 N | N x 32-byte input | uint64 M | M x uint64 teleport frame
//   | 52-byte car start | 52-byte ball start | int32 hitbox | float air | float steer
constexpr int32_t TasFormatVersion = 1;
constexpr uint64_t TasFixedBytes = 136;
constexpr uint64_t StartingStateBytes = 52;

constexpr uint64_t TasFileSize(uint64_t frames, uint64_t teleports) {
    return TasFixedBytes + 32 * frames + 8 * teleports;
}

// A file cut short loads with its missing records zero-filled, but a count
// may claim at most this many records beyond what the file still holds: a
// damaged count must not make the game allocate gigabytes.
constexpr uint64_t CutShortRecordAllowance = uint64_t{1} << 20;

enum class ReadOutcome {
    Loaded,   // every byte of the record was there
    CutShort, // loaded, the missing bytes read as zero
    Rejected, // not version 1 (also an empty or unreadable file)
    TooLarge, // a count claims far more records than the file holds
};

struct TasReadResult {
    ReadOutcome outcome = ReadOutcome::Rejected;
    int32_t version = 0;
    uint64_t extraBytes = 0; // bytes after the record, when the size is known
    std::string error;       // why a TooLarge file was refused
};

void WriteTas(std::ostream& stream, const TasData& data);

// Reads one record into data, which should be fresh: on Rejected or TooLarge
// it may hold part of the file. May throw std::bad_alloc.
TasReadResult ReadTasData(std::istream& stream, TasData& data);

// Bytes between the read position and the end, or 0 when the stream cannot
// tell: readers check a count against it before they allocate.
uint64_t BytesLeft(std::istream& stream);
