#pragma once

#include "runs/edits/RunSplice.h"
#include "runs/record/Marker.h"
#include "runs/record/Tas.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The controls of one frame. Names are the CSV export's column names.
enum class FrameControl {
    Throttle,
    Steer,
    Pitch,
    Yaw,
    Roll,
    FlipForward,
    FlipSideways,
    Handbrake,
    Jump,
    ActivateBoost,
    BoostHeld,
    JumpHeld,
};

std::string_view ControlName(FrameControl control);
std::optional<FrameControl> ControlByName(std::string_view name);
// "throttle, steer, ..., jump_held", for messages.
std::string ControlNames();
// The five flags are 0 or 1; the seven analog controls run from -1 to 1.
bool IsFlagControl(FrameControl control);
float ControlValue(const VehicleInput& frame, FrameControl control);
// The frame with the control at value: a flag set for any value but 0.
VehicleInput WithControl(VehicleInput frame, FrameControl control, float value);

// The most frames one insert adds: an hour of game time.
constexpr uint64_t MaxInsertedFrames = 432000;

// An edit of a run's frames, worked out but not made: the splice that makes
// it (ApplySplice) and what it does in words, or why it cannot be made.
//
// An edit whose first changed frame is K keeps the trace before K and drops
// the rest: a replay is still checked up to K.
struct FrameEdit {
    std::optional<RunSplice> Change;
    std::string What;  // "Deleted frames 10 to 19", with a change
    std::string Error; // "frame 120 is past the run's last frame, 119", without one
};

// Sets the control to value on frames from..to (inclusive). Only the frames
// it changes go into the splice.
FrameEdit SetControl(const TasData& run, uint64_t from, uint64_t to, FrameControl control,
                     float value);
// Sets the flag on every frame of from..to, or clears it when every one has
// it set.
FrameEdit ToggleFlag(const TasData& run, uint64_t from, uint64_t to, FrameControl flag);

enum class InsertFill {
    Neutral, // every control zero
    Copy,    // copies of the frame at `at`, or of the last frame when `at` is the end
};
// Inserts count frames before frame at (at = the run's length appends).
// Teleports from `at` on move with their frames.
FrameEdit InsertFrames(const TasData& run, uint64_t at, uint64_t count, InsertFill fill);
// Deletes frames from..to; teleports after them move back, one inside goes.
FrameEdit DeleteFrames(const TasData& run, uint64_t from, uint64_t to);

// Empty when from..to are frames of the run, else why not.
std::string FrameRangeProblem(const TasData& run, uint64_t from, uint64_t to);
// The frames from..to; throws std::out_of_range with FrameRangeProblem's text.
std::vector<VehicleInput> CopyFrames(const TasData& run, uint64_t from, uint64_t to);
// Writes the frames over the run's from frame at on; frames past the run's
// end extend it. Teleports stay where they are.
FrameEdit PasteOver(const TasData& run, uint64_t at, const std::vector<VehicleInput>& frames);
// Inserts the frames before frame at, as InsertFrames does.
FrameEdit PasteInserted(const TasData& run, uint64_t at, const std::vector<VehicleInput>& frames);

// Pins text to the frame, replacing the marker there, if any. Refused for a
// frame past the run's end or a text that is empty, more than one line or
// longer than MaxMarkerBytes.
FrameEdit SetMarker(const TasData& run, uint64_t frame, const std::string& text);
// Removes the marker of the frame; refused when it has none.
FrameEdit RemoveMarker(const TasData& run, uint64_t frame);
// MaxMarkerBytes comes with Marker.h: the markers file's reader holds its
// texts to it too.
