#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"
#include "runs/record/Keyframe.h"
#include "runs/record/VehicleInput.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

struct TasData;

// Where car and ball were at one recorded frame, taken at the vehicle-input
// event before the frame's input moved them. A replay that plays the frame
// from the same place reproduces the recording there.
struct TraceEntry {
    Vector CarLocation;
    Rotator CarRotation;
    Vector CarVelocity;
    Vector CarAngularVelocity;
    Vector BallLocation; // zero when there was no ball
    Vector BallVelocity;
    uint32_t HasBall = 0; // 1 when the game had a ball
};
static_assert(sizeof(TraceEntry) == 76, "one trace entry is 76 bytes on disk and in memory");

// Trace files sit beside their run file as "NAME.data.trace", so the run
// file stays the version 1 format and the run folder's listing passes them
// over. Little-endian:
//   char[8] "GYROTRCE" | uint32 version 3 | uint32 entry bytes 76 | uint64 N
//   | uint64 digest of the run | N x 76-byte entry
//   | uint64 K | K x 120-byte keyframe, frames strictly ascending, each < N
// N is the run's frame count, or less for a trace of its first N frames.
// Version 2 files end after the entries and hold no keyframes; version 1
// files, whose digest covers only the inputs, neither. Both are still read.
constexpr uint32_t TraceFormatVersion = 3;
constexpr uint64_t TraceHeaderBytes = 32;

std::filesystem::path TracePath(const std::filesystem::path& runFile);

// FNV-1a over the inputs' bytes: the digest of a version 1 trace.
uint64_t InputsDigest(const std::vector<VehicleInput>& inputs);
// FNV-1a over the inputs' bytes, then both starting states and the hitbox as
// the run file packs them: a replay starts from all of these, so a trace
// recorded with any of them different is not the trace of this run.
uint64_t TraceDigest(const TasData& run);

// Writes the run's trace: one entry for each frame it covers, from frame 0,
// then its keyframes.
void WriteTrace(std::ostream& stream, const TasData& run);

enum class TraceFit {
    Belongs,        // read into the trace
    OtherFrames,    // holds more frames than the run (version 1: another number)
    OtherInputs,    // a version 1 trace recorded with other inputs
    OtherRun,       // recorded with other inputs, starting states or hitbox
    Empty,          // the file holds no byte
    HeaderCutShort, // the file ends inside its header
    // Not a trace file, its entries or keyframes cut short or followed by
    // more, or keyframes out of order or past the entries.
    Unreadable,
};

struct TraceReadResult {
    TraceFit fit = TraceFit::Unreadable;
    uint64_t frames = 0; // as the header says, when it is a whole trace header
};

// Reads the trace of this run; trace and keyframes are filled only when the
// file belongs to the run (keyframes emptied for a file of a version without
// them). The file's size is checked against its header and counts before
// anything is allocated. May throw std::bad_alloc.
TraceReadResult ReadTrace(std::istream& stream, const TasData& run, std::vector<TraceEntry>& trace,
                          std::vector<Keyframe>& keyframes);

// The console line for a trace file that does not belong to the run of that
// name, which has runFrames inputs.
std::string IgnoredTraceLine(const std::string& name, const TraceReadResult& result,
                             uint64_t runFrames);
