#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"
#include "runs/ChunkedVector.h"
#include "runs/Hitbox.h"
#include "runs/RunTrace.h"
#include "runs/VehicleInput.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The state of the loaded run.
enum class TasState : int32_t {
    Stopped = 0,
    Replaying = 1,
    Recording = 2,
};

// Where the car or the ball stands at the first tick of a run.
struct StartingState {
    Vector Location;
    Rotator Rotation;
    Vector Velocity;
    Vector AngularVelocity;
    bool Enabled = false;
};

// The saved part of a run: everything a run file holds.
struct TasData {
    std::vector<VehicleInput> Inputs;     // index = frame
    std::vector<uint64_t> TeleportFrames; // ascending
    StartingState CarStart;
    StartingState BallStart;
    HitboxType Hitbox = HitboxType::Other;
    float AirSensitivity = 1.0f;
    float SteerSensitivity = 1.0f;
    // Saved beside the run file, not in it. Empty when the run has none;
    // otherwise one entry per input.
    std::vector<TraceEntry> Trace;

    TasData() = default;
    TasData(TasData&& other) noexcept;
    // Whether replays of this run can be checked against its recording.
    bool HasTrace() const { return !Trace.empty() && Trace.size() == Inputs.size(); }
    // Takes the other's arrays (releasing ours first) and leaves its arrays
    // empty; moving onto itself changes nothing.
    TasData& operator=(TasData&& other) noexcept;
    TasData(const TasData&) = delete;
    TasData& operator=(const TasData&) = delete;
};

// The one loaded run: its saved data, its name and the run engine's state.
struct Tas {
    TasData Data;
    std::string Name; // also the file name without ".data"; empty = cannot be saved
    // Recorded since the take-over, a tick at a time: chunked, so that no tick
    // copies what was recorded before it.
    ChunkedVector<VehicleInput> PendingInputs;
    std::vector<uint64_t> PendingTeleportFrames; // absolute frames of the merged run
    ChunkedVector<TraceEntry> PendingTrace;      // one per pending input
    uint64_t CurrentFrame = 0;
    uint64_t NextTeleport = 0;
    std::atomic<TasState> State = TasState::Stopped; // also read by the settings page
    std::string NameEdit;                            // rename popup buffer
    bool NameEditInvalid = false;
    std::atomic<bool> InputsApplied = true; // also read by the settings page

    // Back to an empty run under the same name.
    void Reset();
    // The run engine's state back to a run not yet started: nothing pending,
    // at frame 0, stopped.
    void ResetRunState();
    // Splices the pending inputs, teleports and trace in at CurrentFrame.
    void MergePending();
    void MergePendingTrace();

    // The run editor of the settings page. It edits Name and Data's starting
    // states in place: the caller keeps the game thread off them meanwhile.
    void RenderDetails();
};
