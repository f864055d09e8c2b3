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

// What tas_changespeed switches to; the mode itself when it switches nothing.
GameSpeedMode ToggledSpeed(GameSpeedMode current, bool rerecording);
