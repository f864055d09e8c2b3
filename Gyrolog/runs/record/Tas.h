#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"
#include "runs/record/ChunkedVector.h"
#include "runs/record/Hitbox.h"
#include "runs/record/Keyframe.h"
#include "runs/record/Marker.h"
#include "runs/record/RunTrace.h"
#include "runs/record/VehicleInput.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
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
    // otherwise one entry per input of the frames it covers, from frame 0:
    // all of them, or the first K when frames from K on were changed since
    // they were recorded.
    std::vector<TraceEntry> Trace;
    // Of the traced frames, ascending, each before Trace.size(): they go
    // wherever the trace of their frame goes.
    std::vector<Keyframe> Keyframes;
    // Saved beside the run file: ascending by frame, at most one a frame,
    // each before Inputs.size().
    std::vector<Marker> Markers;
    // Set by the run editor when it changes a starting state: the trace was
    // recorded from another start. The game thread, which reads the trace
    // during a replay, drops it; until then it is no trace of this run.
    std::atomic<bool> TraceStale = false;

    TasData() = default;
    TasData(TasData&& other) noexcept;
    // Whether replays of this run can be checked against its recording, at
    // least for their first frames.
    bool HasTrace() const { return !Trace.empty() && Trace.size() <= Inputs.size() && !TraceStale; }
    // The frames a replay is checked for: 0 without a trace.
    uint64_t TracedFrames() const { return HasTrace() ? Trace.size() : 0; }
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
    ChunkedVector<Keyframe> PendingKeyframes;    // of pending frames, absolute frames
    // Where the car was before each tick the replay has held at a teleport
    // frame waiting for its teleport. A take-over keeps the held ticks as
    // frames of the merged run.
    std::vector<TraceEntry> HeldTrace;
    // The trace was dropped since this replay began: what it records began
    // from a start that is no longer the run's, so it merges without a trace.
    bool RecordedFromOtherStart = false;
    uint64_t CurrentFrame = 0;
    uint64_t NextTeleport = 0;
    // Set from a re-record's start until its take-over: the replay plays on
    // up to this frame whatever the player holds, and records from there.
    std::optional<uint64_t> RerecordFrame;
    // Set from tas_playfrom's start until its frame: the replay seeks up to it.
    std::optional<uint64_t> PlayFrom;
    // The frame this replay was placed at: 0, or a keyframe's for a quick
    // seek. Set at the start, before the placement.
    uint64_t PlacedAt = 0;
    // This start placed a keyframe for its frame: a quick seek, which falls
    // back to frame 0 when the frames up to its frame drift.
    bool QuickSeeking = false;
    // From a start until its replay begins: the car is being placed.
    bool Placing = false;
    // This replay records the trace of the frames it plays beyond it; and
    // whether it did.
    bool TraceGrowing = false;
    bool TraceGrew = false;
    std::atomic<TasState> State = TasState::Stopped; // also read by the settings page
    // The frame of the merged run the car plays or records now: written by the
    // tick, read by the page and the overlay.
    std::atomic<uint64_t> LiveFrame = 0;
    std::string NameEdit; // rename popup buffer
    bool NameEditInvalid = false;
    std::atomic<bool> InputsApplied = true; // also read by the settings page

    // Back to an empty run under the same name.
    void Reset();
    // The run engine's state back to a run not yet started: nothing pending,
    // at frame 0, stopped.
    void ResetRunState();
    // Splices the pending inputs, teleports and trace in at CurrentFrame;
    // markers past the merged run's end go.
    void MergePending();
    void MergePendingTrace();
    // The merged run ends before them: they pinned frames it no longer has.
    void DropMarkersPastTheEnd();
    // Whether the pending trace continues the run's in the merged run, and
    // how many of the run's trace entries the merge keeps.
    bool PendingTraceCovers() const;
    size_t TraceKeptByMerge() const;
    // The trace was recorded from the run's starts and nothing has dropped it.
    bool TraceStillValid() const;
    // A take-over during a hold: the held ticks become the first pending
    // frames, the held input once a tick with where each began.
    void PendHeldTicks(const VehicleInput& held);
    // The trace no longer belongs to the run: drops it, and what this replay
    // records merges without one.
    void DropTrace();

    // The run editor of the settings page. It edits Name and Data's starting
    // states in place: the caller keeps the game thread off them meanwhile.
    // Says whether it changed a starting state, which marks the trace stale,
    // and the name it renamed from.
    struct DetailsEdit {
        bool StartsChanged = false;
        std::optional<std::string> RenamedFrom;
    };
    // Names are checked against the run folder they are saved in.
    DetailsEdit RenderDetails(const std::filesystem::path& runFolder);
};
