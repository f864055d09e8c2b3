#include "runs/edits/FrameEdits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

struct ControlInfo {
    std::string_view name;
    float VehicleInput::*field; // analog controls
    uint32_t flag;              // flags
};

constexpr std::array<ControlInfo, 12> Controls = {{
    {"throttle", &VehicleInput::Throttle, 0},
    {"steer", &VehicleInput::Steer, 0},
    {"pitch", &VehicleInput::Pitch, 0},
    {"yaw", &VehicleInput::Yaw, 0},
    {"roll", &VehicleInput::Roll, 0},
    {"flip_forward", &VehicleInput::FlipForward, 0},
    {"flip_sideways", &VehicleInput::FlipSideways, 0},
    {"handbrake", nullptr, VehicleInputFlag::Handbrake},
    {"jump", nullptr, VehicleInputFlag::Jump},
    {"activate_boost", nullptr, VehicleInputFlag::ActivateBoost},
    {"boost_held", nullptr, VehicleInputFlag::BoostHeld},
    {"jump_held", nullptr, VehicleInputFlag::JumpHeld},
}};

const ControlInfo& Info(FrameControl control) {
    return Controls.at(static_cast<size_t>(control));
}

// The shortest text that reads back to the same float: 0.5, not 0.500000.
std::string FloatText(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string Frames(uint64_t from, uint64_t to) {
    return from == to ? "frame " + std::to_string(from)
                      : "frames " + std::to_string(from) + " to " + std::to_string(to);
}

std::string Count(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool Same(const VehicleInput& a, const VehicleInput& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

FrameEdit Refused(std::string why) {
    FrameEdit edit;
    edit.Error = std::move(why);
    return edit;
}

FrameEdit Made(RunSplice change, std::string what) {
    FrameEdit edit;
    edit.Change = std::move(change);
    edit.What = std::move(what);
    return edit;
}

std::string AtProblem(const TasData& run, uint64_t at) {
    if (at > run.Inputs.size()) {
        return "frame " + std::to_string(at) + " is past the run's end, " +
               std::to_string(run.Inputs.size());
    }
    return {};
}

// The splice that writes frames over the run from frame at on, extending it
// when they reach past its end, trimmed to the frames that change: the trace
// stays up to the first of them. Teleports stay with their frame numbers.
RunSplice Overwrite(const TasData& run, uint64_t at, std::vector<VehicleInput> frames) {
    const uint64_t size = run.Inputs.size();
    const uint64_t overlap = std::min<uint64_t>(frames.size(), size - at);
    uint64_t first = 0;
    while (first < overlap && Same(frames[first], run.Inputs[at + first])) {
        ++first;
    }
    uint64_t end = frames.size();
    if (end == overlap) {
        while (end > first && Same(frames[end - 1], run.Inputs[at + end - 1])) {
            --end;
        }
    }
    RunSplice change;
    change.At = at + first;
    change.Removed = std::min(end, overlap) - std::min(first, overlap);
    change.Inputs.assign(frames.begin() + static_cast<std::ptrdiff_t>(first),
                         frames.begin() + static_cast<std::ptrdiff_t>(end));
    change.Teleports = run.TeleportFrames;
    change.Markers = run.Markers;
    // Nothing changes: the whole trace stays.
    change.TraceAt = first == end ? size : at + first;
    return change;
}

RunSplice Insert(const TasData& run, uint64_t at, std::vector<VehicleInput> frames) {
    RunSplice change;
    change.At = at;
    change.Teleports = MovedTeleports(run.TeleportFrames, at, 0, frames.size());
    change.Markers = MovedMarkers(run.Markers, at, 0, frames.size());
    change.Inputs = std::move(frames);
    change.TraceAt = at;
    return change;
}

// A splice that changes only the markers: the frames, teleports and trace
// stay as they are.
RunSplice MarkersChange(const TasData& run, std::vector<Marker> markers) {
    RunSplice change;
    change.At = run.Inputs.size();
    change.Teleports = run.TeleportFrames;
    change.Markers = std::move(markers);
    change.TraceAt = run.Trace.size();
    return change;
}

std::vector<Marker>::const_iterator MarkerAtOrAfter(const std::vector<Marker>& markers,
                                                    uint64_t frame) {
    return std::lower_bound(markers.begin(), markers.end(), frame,
                            [](const Marker& marker, uint64_t at) { return marker.Frame < at; });
}

} // namespace

std::string_view ControlName(FrameControl control) {
    return Info(control).name;
}

std::optional<FrameControl> ControlByName(std::string_view name) {
    for (size_t i = 0; i < Controls.size(); ++i) {
        if (Controls[i].name == name) {
            return static_cast<FrameControl>(i);
        }
    }
    return std::nullopt;
}

std::string ControlNames() {
    std::string names;
    for (const ControlInfo& control : Controls) {
        names += (names.empty() ? "" : ", ") + std::string(control.name);
    }
    return names;
}

bool IsFlagControl(FrameControl control) {
    return Info(control).field == nullptr;
}

float ControlValue(const VehicleInput& frame, FrameControl control) {
    const ControlInfo& info = Info(control);
    if (info.field) {
        return frame.*info.field;
    }
    return (frame.Flags & info.flag) != 0 ? 1.0f : 0.0f;
}

VehicleInput WithControl(VehicleInput frame, FrameControl control, float value) {
    const ControlInfo& info = Info(control);
    if (info.field) {
        frame.*info.field = value;
    } else if (value != 0.0f) {
        frame.Flags |= info.flag;
    } else {
        frame.Flags &= ~info.flag;
    }
    return frame;
}

std::string FrameRangeProblem(const TasData& run, uint64_t from, uint64_t to) {
    if (run.Inputs.empty()) {
        return "the run has no frames";
    }
    if (from > to) {
        return "frame " + std::to_string(from) + " comes after frame " + std::to_string(to);
    }
    if (to >= run.Inputs.size()) {
        return "frame " + std::to_string(to) + " is past the run's last frame, " +
               std::to_string(run.Inputs.size() - 1);
    }
    return {};
}

FrameEdit SetControl(const TasData& run, uint64_t from, uint64_t to, FrameControl control,
                     float value) {
    const ControlInfo& info = Info(control);
    const std::string name(info.name);
    if (info.field && !(value >= -1.0f && value <= 1.0f)) { // NaN fails both
        return Refused(name + " must be from -1 to 1, not " + FloatText(value));
    }
    if (!info.field && value != 0.0f && value != 1.0f) {
        return Refused(name + " must be 0 or 1, not " + FloatText(value));
    }
    if (std::string problem = FrameRangeProblem(run, from, to); !problem.empty()) {
        return Refused(std::move(problem));
    }
    std::vector<VehicleInput> frames(run.Inputs.begin() + static_cast<std::ptrdiff_t>(from),
                                     run.Inputs.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    for (VehicleInput& frame : frames) {
        frame = WithControl(frame, control, value);
    }
    return Made(Overwrite(run, from, std::move(frames)),
                "Set " + name + " to " + FloatText(value) + " on " + Frames(from, to));
}

FrameEdit ToggleFlag(const TasData& run, uint64_t from, uint64_t to, FrameControl flag) {
    if (!IsFlagControl(flag)) {
        return Refused(std::string(ControlName(flag)) +
                       " is not a flag: only handbrake, jump, activate_boost, boost_held and "
                       "jump_held can be toggled");
    }
    if (std::string problem = FrameRangeProblem(run, from, to); !problem.empty()) {
        return Refused(std::move(problem));
    }
    bool allSet = true;
    for (uint64_t frame = from; frame <= to && allSet; ++frame) {
        allSet = ControlValue(run.Inputs[frame], flag) != 0.0f;
    }
    return SetControl(run, from, to, flag, allSet ? 0.0f : 1.0f);
}

FrameEdit InsertFrames(const TasData& run, uint64_t at, uint64_t count, InsertFill fill) {
    if (std::string problem = AtProblem(run, at); !problem.empty()) {
        return Refused(std::move(problem));
    }
    if (count == 0 || count > MaxInsertedFrames) {
        return Refused("the count must be from 1 to " + std::to_string(MaxInsertedFrames) +
                       " frames, not " + std::to_string(count));
    }
    if (fill == InsertFill::Neutral) {
        return Made(Insert(run, at, std::vector<VehicleInput>(count)),
                    "Inserted " + Count(count, "neutral frame", "neutral frames") + " at " +
                        std::to_string(at));
    }
    if (run.Inputs.empty()) {
        return Refused("the run has no frame to copy");
    }
    const uint64_t source = at < run.Inputs.size() ? at : run.Inputs.size() - 1;
    return Made(Insert(run, at, std::vector<VehicleInput>(count, run.Inputs[source])),
                "Inserted " + Count(count, "copy", "copies") + " of frame " +
                    std::to_string(source) + " at " + std::to_string(at));
}

FrameEdit DeleteFrames(const TasData& run, uint64_t from, uint64_t to) {
    if (std::string problem = FrameRangeProblem(run, from, to); !problem.empty()) {
        return Refused(std::move(problem));
    }
    RunSplice change;
    change.At = from;
    change.Removed = to - from + 1;
    change.Teleports = MovedTeleports(run.TeleportFrames, from, change.Removed, 0);
    change.Markers = MovedMarkers(run.Markers, from, change.Removed, 0);
    change.TraceAt = from;
    return Made(std::move(change), "Deleted " + Frames(from, to));
}

std::vector<VehicleInput> CopyFrames(const TasData& run, uint64_t from, uint64_t to) {
    if (std::string problem = FrameRangeProblem(run, from, to); !problem.empty()) {
        throw std::out_of_range(problem);
    }
    return {run.Inputs.begin() + static_cast<std::ptrdiff_t>(from),
            run.Inputs.begin() + static_cast<std::ptrdiff_t>(to) + 1};
}

FrameEdit PasteOver(const TasData& run, uint64_t at, const std::vector<VehicleInput>& frames) {
    if (std::string problem = AtProblem(run, at); !problem.empty()) {
        return Refused(std::move(problem));
    }
    if (frames.empty()) {
        return Refused("there are no frames to paste");
    }
    const uint64_t last = at + frames.size() - 1;
    return Made(Overwrite(run, at, frames),
                "Pasted " + Count(frames.size(), "frame", "frames") + " over " + Frames(at, last));
}

FrameEdit PasteInserted(const TasData& run, uint64_t at, const std::vector<VehicleInput>& frames) {
    if (std::string problem = AtProblem(run, at); !problem.empty()) {
        return Refused(std::move(problem));
    }
    if (frames.empty()) {
        return Refused("there are no frames to paste");
    }
    return Made(Insert(run, at, frames),
                "Pasted " + Count(frames.size(), "frame", "frames") + " at " + std::to_string(at));
}

FrameEdit SetMarker(const TasData& run, uint64_t frame, const std::string& text) {
    if (std::string problem = FrameRangeProblem(run, frame, frame); !problem.empty()) {
        return Refused(std::move(problem));
    }
    if (std::string problem = MarkerTextProblem(text); !problem.empty()) {
        return Refused(std::move(problem));
    }
    std::vector<Marker> markers = run.Markers;
    const auto at = markers.begin() + (MarkerAtOrAfter(run.Markers, frame) - run.Markers.begin());
    if (at != markers.end() && at->Frame == frame) {
        at->Text = text;
    } else {
        markers.insert(at, Marker{frame, text});
    }
    return Made(MarkersChange(run, std::move(markers)),
                "Marker at frame " + std::to_string(frame) + ": " + text);
}

FrameEdit RemoveMarker(const TasData& run, uint64_t frame) {
    if (std::string problem = FrameRangeProblem(run, frame, frame); !problem.empty()) {
        return Refused(std::move(problem));
    }
    const auto at = MarkerAtOrAfter(run.Markers, frame);
    if (at == run.Markers.end() || at->Frame != frame) {
        return Refused("Frame " + std::to_string(frame) + " has no marker");
    }
    std::vector<Marker> markers = run.Markers;
    markers.erase(markers.begin() + (at - run.Markers.begin()));
    return Made(MarkersChange(run, std::move(markers)),
                "Removed the marker at frame " + std::to_string(frame));
}
