#pragma once

// What one drawn frame of the Inputs tab reads of the run, gathered under
// LoadedTasLock, and what the player asked of it, handed to the game thread
// once the lock is let go. Render thread only.
#include "LiveRecording.h"
#include "runs/edits/FrameEdits.h"
#include "runs/record/Tas.h"
#include "ui/InputsView.h"

#include <functional>
#include <optional>

namespace inputs {

struct Frame {
    Frame(const Tas& run, const TasData& frames, RowLayout layout)
        : Run(run), Frames(frames), Layout(layout) {}

    const Tas& Run;
    const TasData& Frames; // the run's, or a save's lent copy of them
    RowLayout Layout;
    bool Live = false; // a replay or a recording: nothing may be edited
    std::optional<uint64_t> LiveRow;
    std::optional<uint64_t> FollowRow; // kept in view: the live row, or the last one
    // The trace entries and keyframes the page may read: while the game
    // thread grows them only those it published, and none it let go.
    uint64_t TracedFrames = 0;
    uint64_t Keyframes = 0;
    std::optional<uint64_t> DriftFrame; // where the last replay drifted
    LiveRecording::Copy Recorded;       // while recording: the frames in view
    // The branch compared with the run, published whole and never changed.
    const TasData* Compared = nullptr;

    // What row shows, nullptr where it is not at hand (a recorded frame the
    // page no longer holds, a frame the trace does not cover).
    const VehicleInput* InputAt(const Row& row) const;
    const TraceEntry* TraceAt(const Row& row) const;
    std::optional<float> BoostAt(const Row& row) const;
    bool TeleportAt(const Row& row) const;
    const Marker* MarkerOf(const Row& row) const;
    // The compared branch's inputs at a run's row, nullptr past its end; and
    // whether the row's inputs are not the branch's.
    const VehicleInput* ComparedAt(const Row& row) const;
    bool DiffersFromCompared(const Row& row) const;
    uint64_t RunFrames() const { return Layout.RunFrames; }
};

// Asked for by a click or a key, made on the game thread.
struct Request {
    std::function<FrameEdit(const TasData&)> Edit;
    enum class Kind { None, RerecordFrom, PlayFrom, Undo, Redo } Run = Kind::None;
    uint64_t Frame = 0;
};

// The tab's parts, drawn in this order.
void DrawToolbar(const Frame& frame, InputsTabState& view);
void DrawEditBar(const Frame& frame, InputsTabState& view, Request& request);
void DrawGraph(const Frame& frame, InputsTabState& view);
void DrawTable(const Frame& frame, InputsTabState& view, Request& request);

// Keys the table takes while it has focus and no text field is active.
void TakeTableKeys(const Frame& frame, InputsTabState& view, Request& request, uint64_t pageRows);
// The clipboard's frames, copied as the Copy button copies them.
void CopySelection(const Frame& frame, InputsTabState& view);

} // namespace inputs
