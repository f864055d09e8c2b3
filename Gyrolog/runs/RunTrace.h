#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"
#include "runs/VehicleInput.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

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
//   char[8] "GYROTRCE" | uint32 version 1 | uint32 entry bytes 76 | uint64 N
//   | uint64 digest of the run's inputs | N x 76-byte entry
constexpr uint32_t TraceFormatVersion = 1;
constexpr uint64_t TraceHeaderBytes = 32;

std::filesystem::path TracePath(const std::filesystem::path& runFile);

// FNV-1a over the inputs' bytes: a trace recorded with other inputs is not
// the trace of this run.
uint64_t InputsDigest(const std::vector<VehicleInput>& inputs);

void WriteTrace(std::ostream& stream, const std::vector<TraceEntry>& trace,
                const std::vector<VehicleInput>& inputs);

enum class TraceFit {
    Belongs,     // read into the trace
    OtherFrames, // holds another number of frames than the run
    OtherInputs, // recorded with other inputs
    Unreadable,  // not a trace file of this version, or cut short
};

struct TraceReadResult {
    TraceFit fit = TraceFit::Unreadable;
    uint64_t frames = 0; // as the header says, when it could be read
};

// Reads the trace of the run with these inputs; trace is filled only when
// the file belongs to the run. May throw std::bad_alloc.
TraceReadResult ReadTrace(std::istream& stream, const std::vector<VehicleInput>& inputs,
                          std::vector<TraceEntry>& trace);

// The console line for a trace file that does not belong to the run of that
// name, which has runFrames inputs.
std::string IgnoredTraceLine(const std::string& name, const TraceReadResult& result,
                             uint64_t runFrames);
