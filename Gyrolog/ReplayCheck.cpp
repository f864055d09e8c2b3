#include "Gyrolog.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "runs/record/RunCompare.h"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

TraceEntry Gyrolog::TraceNow(CarWrapper& car) {
    TraceEntry entry;
    entry.CarLocation = car.GetLocation();
    entry.CarRotation = car.GetRotation();
    entry.CarVelocity = car.GetVelocity();
    entry.CarAngularVelocity = car.GetAngularVelocity();
    if (BallWrapper ball = CurrentBall()) {
        entry.BallLocation = ball.GetLocation();
        entry.BallVelocity = ball.GetVelocity();
        entry.HasBall = 1;
    }
    return entry;
}

void Gyrolog::BeginDriftCheck() {
    DriftChecking = LoadedTas.Data.HasTrace();
    if (LoadedTas.Data.Inputs.empty()) {
        return; // nothing to replay: the first tick records
    }
    ReplayCheck.Update([&](ReplayCheckView& check) {
        check.Frame = LoadedTas.PlacedAt;
        check.From = LoadedTas.PlacedAt;
        check.Last = DriftChecking ? ReplayCheckView::Checking : ReplayCheckView::Unchecked;
    });
}

// At a tick that plays CurrentFrame, before its input moves the car: where
// the recording was at that frame. Reports the first departure only.
void Gyrolog::CheckDrift(CarWrapper& car) {
    const uint64_t frame = LoadedTas.CurrentFrame;
    if (frame >= LoadedTas.Data.Trace.size()) {
        // A trace of the first frames: checked as far as it goes; the
        // replay may grow it from here.
        DriftChecking = false;
        PublishFaithful(LoadedTas.Data.Trace.size());
        return;
    }
    const TraceEntry& recorded = LoadedTas.Data.Trace[frame];
    const float carAway = Distance(car.GetLocation(), recorded.CarLocation);
    float ballAway = 0.0f;
    // A ball only one of the two had cannot be measured; the car still is.
    if (recorded.HasBall) {
        if (BallWrapper ball = CurrentBall()) {
            ballAway = Distance(ball.GetLocation(), recorded.BallLocation);
        }
    }
    const float tolerance = *DriftTolerance;
    if (!(carAway > tolerance) && !(ballAway > tolerance)) {
        return;
    }
    DriftChecking = false;
    LoadedTas.TraceGrowing = false; // what it plays now is not the recording's path
    const std::optional<uint64_t> target =
        LoadedTas.RerecordFrame ? LoadedTas.RerecordFrame : LoadedTas.PlayFrom;
    if (LoadedTas.QuickSeeking && LoadedTas.PlacedAt > 0 && target && frame < *target) {
        cvarManager->log(fmt::format("Quick seek from frame {} drifted at frame {}: seeking from "
                                     "frame 0",
                                     LoadedTas.PlacedAt, frame));
        StartRun(LoadedTas.RerecordFrame, LoadedTas.PlayFrom, false);
        return;
    }
    ReplayCheck.Update([&](ReplayCheckView& check) {
        check.Frame = frame;
        check.Last = ReplayCheckView::Drifted;
    });
    cvarManager->log(fmt::format("Replay drifted from the recording at frame {}: car {:.1f} uu, "
                                 "ball {:.1f} uu away",
                                 frame, carAway, ballAway));
    ShowToast("Replay drifted from the recording at frame " + std::to_string(frame),
              ToastKind::Warning);
}

// A take-over or a stop ends the replay: what was checked up to here was
// faithful, and the trace it grew is the run's.
void Gyrolog::EndDriftCheck() {
    LoadedTas.TraceGrowing = false;
    if (std::exchange(LoadedTas.TraceGrew, false)) {
        Host.PublishCheck(false);
        Editor.TraceGrown();
    }
    if (!DriftChecking) {
        return;
    }
    DriftChecking = false;
    // A teleport may have moved the replay past the traced frames.
    PublishFaithful(std::min<uint64_t>(LoadedTas.CurrentFrame, LoadedTas.Data.Trace.size()));
}

void Gyrolog::PublishFaithful(uint64_t checkedUpTo) {
    ReplayCheck.Update([&](ReplayCheckView& check) {
        check.Frame = checkedUpTo;
        check.Last = ReplayCheckView::Faithful;
    });
}

// The run editor changed the run, or put another in its place: the
// branches compare with it anew.
void Gyrolog::EditorHost::PublishRunCheck(bool newRun) {
    PublishCheck(newRun);
    if (newRun) {
        Plugin.Branches.RunReplaced();
    } else {
        Plugin.Branches.RunChanged();
    }
}

void Gyrolog::EditorHost::BeforeRunChanges() {
    Plugin.Branches.BeforeRunChanges();
}

void Gyrolog::EditorHost::PublishCheck(bool newRun) {
    // Game-thread reads: only this thread changes the frames and the trace.
    const uint64_t traced = Plugin.LoadedTas.Data.TracedFrames();
    const uint64_t frames = Plugin.LoadedTas.Data.Inputs.size();
    const uint64_t keyframes = traced > 0 ? Plugin.LoadedTas.Data.Keyframes.size() : 0;
    if (newRun) {
        Plugin.DriftChecking = false;
    }
    Plugin.ReplayCheck.Update([&](ReplayCheckView& check) {
        check.TraceFrames = traced;
        check.RunFrames = frames;
        check.KeyframeCount = keyframes;
        if (newRun) {
            check.Last = ReplayCheckView::NoReplay;
            check.Frame = 0;
            check.From = 0;
        }
    });
}

// The run editor marked the trace stale (it changed a starting state): the
// game thread, which reads the trace while replaying, drops it. A run loaded
// or created since holds a fresh mark and keeps its trace.
void Gyrolog::EditorHost::DropStaleTrace() {
    if (!Plugin.LoadedTas.Data.TraceStale.exchange(false)) {
        return;
    }
    Plugin.Branches.BeforeRunChanges();
    Plugin.LoadedTas.DropTrace();
    if (Plugin.DriftChecking) {
        Plugin.DriftChecking = false;
        Plugin.ReplayCheck.Update(
            [](ReplayCheckView& check) { check.Last = ReplayCheckView::Unchecked; });
    }
    PublishCheck(false);
}

// NaN would turn the check off without a word, and below 0 every replay
// would drift at its first frame: both are refused and the value in force
// stays.
void Gyrolog::OnDriftToleranceChanged(std::string oldValue, CVarWrapper variable) {
    const float tolerance = variable.getFloatValue();
    if (std::isnan(tolerance) || tolerance < 0.0f) {
        cvarManager->log("tas_drifttolerance must be a distance of 0 or more, not " +
                         variable.getStringValue() + ": it stays " +
                         std::to_string(*DriftTolerance));
        variable.setValue(oldValue);
        return;
    }
    *DriftTolerance = tolerance;
}
