#pragma once

#include "runs/edits/RunSplice.h"
#include "runs/record/RunTrace.h"
#include "runs/record/Tas.h"
#include "runs/record/VehicleInput.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The recovery journal of a run with unsaved work: what it was when the work
// began, then every change as it happened, appended. Little-endian:
//   char[8] "GYRORCVR" | uint32 version
//   then records: uint32 kind | uint64 payload bytes | payload
//                 | uint64 FNV-1a of kind, size and payload
// The first record is the base: uint32 name bytes | name | uint64 run bytes
// | the run as a run file holds it | uint64 N | N x 76-byte trace entry
// | uint64 K | K x 120-byte keyframe | uint64 M | M x marker, where a marker
// is uint64 frame | uint32 bytes | its text.
// A record cut short or with another checksum ends the journal there: a
// crash tears at most the record being written, which is dropped whole.
// When a whole record follows such a record, the journal was damaged
// rather than torn: it is read up to the damage and kept as it is.
// Version 2 added the records of edits and undos, version 3 the keyframes
// (of the base, Pending and Splice), version 4 the markers (of the base and
// Splice); journals of versions 1 to 3 are read as they are, without
// keyframes before 3, without markers before 4: their splices leave the
// run's markers as they are.
constexpr uint32_t RecoveryJournalVersion = 4;
constexpr uint64_t RecoveryJournalHeaderBytes = 12;

enum class JournalRecord : uint32_t {
    Base = 1,
    TakeOver = 2, // uint64 frame | uint64 next teleport: a new take-over from there
    // uint32 N | N x input | N x trace entry | uint32 M | M x teleport frame
    // | uint32 K | K x keyframe. A keyframe that fits no recorded frame after
    // the earlier ones is left out: the frames are what recovery is for.
    Pending = 3,
    Merge = 4,       // empty: the pending take-over applied
    DropPending = 5, // empty: the pending take-over thrown away by a new start
    // An undo, a redo or an edit of the frames: uint64 at | uint64 removed
    // | uint64 N | N x input | uint64 M | M x teleport frame | uint64 trace at
    // | uint64 T | T x trace entry | uint64 K | K x keyframe | uint64 M
    // | M x marker (as the base's), applied as RunSplice holds them.
    Splice = 6,
    Starts = 7, // car's then ball's starting state, each 4 x 12 bytes | uint8 enabled
    Name = 8,   // uint32 bytes | the run's name
};

// Recorded ticks of a take-over, handed to the journal's writer whole.
struct RecordingBlock {
    static constexpr size_t Capacity = 120; // a second of game time
    // A block's ticks hold one or two interval keyframes and the teleports':
    // room for these is made with the block, not on a tick.
    static constexpr size_t KeyframesReserved = 4;
    size_t Count = 0;
    VehicleInput Inputs[Capacity];
    TraceEntry Trace[Capacity];
    std::vector<uint64_t> TeleportFrames; // noted while the block was filled
    std::vector<Keyframe> Keyframes;      // likewise

    RecordingBlock() { Keyframes.reserve(KeyframesReserved); }
};

std::string JournalHeader();
std::string BaseRecord(const std::string& name, const TasData& data);
std::string TakeOverRecord(uint64_t frame, uint64_t nextTeleport);
std::string PendingRecord(const RecordingBlock& block);
std::string EmptyRecord(JournalRecord kind);
// A record around payload; the writer frames and checksums the payloads the
// game thread hands it.
std::string FramedRecord(JournalRecord kind, const std::string& payload);
std::string SplicePayload(const RunSplice& change);
// A splice of no frames that sets the run's trace, whole or none, and keeps
// its teleports and markers: read from the run in place, not copied first.
std::string WholeTracePayload(const TasData& run);
std::string StartsPayload(const StartingState& car, const StartingState& ball);
std::string NamePayload(const std::string& name);

struct JournalReadResult {
    enum Outcome { Read, Unreadable, CutShort, OtherVersion } outcome = Unreadable;
    std::string name;        // the run's, once the base was read
    uint64_t validBytes = 0; // where the last whole record ends
    uint64_t droppedBytes = 0;
    // A record before the end was not whole, yet a whole one follows it:
    // the records after validBytes may hold work, so the file is kept.
    bool damaged = false;
};

// Reads the journal of size bytes into tas, which should be fresh: its run,
// and a take-over pending again (stopped, ready for Update) when the journal
// ends with one. Only Read leaves a run worth having. May throw
// std::bad_alloc.
JournalReadResult ReadRecoveryJournal(std::istream& stream, uint64_t size, Tas& tas);

// The frames of the run once its pending take-over, if any, is applied.
uint64_t RecoveredFrames(const Tas& tas);

// Why the journal cannot be recovered, for the console.
const char* JournalProblem(JournalReadResult::Outcome outcome);
