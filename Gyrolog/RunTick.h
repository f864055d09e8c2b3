#pragma once

#include "runs/record/Tas.h"
#include "runs/record/VehicleInput.h"

#include <cstdint>

// The run engine's decisions that need no host: what a tick, a teleport or a
// speed toggle does to the run, given what the host reported.

// Which game speed the plugin applied last.
enum class GameSpeedMode : int32_t {
    None = 0,   // normal speed, or whatever the player set
    Replay = 1, // tas_replayspeed
    Record = 2, // tas_recordspeed
    Seek = 3,   // tas_seekspeed: a re-record's replay up to its frame
};

// The controls whose touch takes over a replay (tas_check...).
struct WatchedControls {
    bool Throttle = false;
    bool Steer = false; // also pitch and yaw
    bool AirRoll = false;
    bool Handbrake = false;
    bool Jump = false; // also the flips
    bool Boost = false;
};

// Whether the player's live input touches a watched control. No dead zone:
// any deflection counts, -0.0 does not, NaN does.
bool TouchesWatched(const VehicleInput& live, const WatchedControls& watched);

// The input the replay holds while it waits at a teleport frame for the
// car's teleport, or nullptr when it does not wait.
const VehicleInput* HeldInput(const Tas& run);

// A re-record takes over at its frame, once a teleport held there has come:
// the new frame starts where the old one did.
bool RerecordFrameReached(const Tas& run);

// A replay's car teleported: it goes on from the next teleport frame, or,
// when the game reports the same teleport again (cooling), from the frame
// the first report jumped to.
void StepToTeleportFrame(Tas& run, bool cooling);

// The keyframe a re-record or a play from frame places, or nullptr when it
// seeks from frame 0: the last one at or before frame, of a trace that still
// checks the run.
const Keyframe* QuickSeekKeyframe(const TasData& run, uint64_t frame);

// Where a replay placed at a frame waits for its next teleport: the index of
// the first teleport after that frame. A keyframe at a teleport frame was
// taken after the teleport.
uint64_t NextTeleportAfterPlacing(const std::vector<uint64_t>& teleports, uint64_t frame);

// At a replay's beginning: a replay from frame 0 of a run whose trace, still
// the run's, covers fewer frames than it has, grows the trace as it plays.
// Room for all of it is made now, so that no tick copies it.
void BeginTraceGrowth(Tas& run);

// Whether the frame the replay plays now continues its trace, as a replay
// that grows the trace needs: the trace ends just before it.
bool ContinuesTrace(const Tas& run);

// Whether the frame a recording records now gets a keyframe: every
// KeyframeInterval frames of the merged run and where it noted a teleport.
bool RecordsKeyframe(const Tas& run);

// What tas_changespeed switches to; the mode itself when it switches nothing.
GameSpeedMode ToggledSpeed(GameSpeedMode current, bool rerecording);
