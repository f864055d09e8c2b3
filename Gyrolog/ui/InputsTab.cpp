#include "Guarded.h"
#include "Gyrolog.h"
#include "runs/record/RunCompare.h"
#include "ui/InputsFrame.h"

#include <imgui.h>

#include <algorithm>

namespace inputs {

const VehicleInput* Frame::InputAt(const Row& row) const {
    switch (row.Kind) {
    case RowKind::Pending:
        return &Run.PendingInputs[row.Index];
    case RowKind::Live:
        return Recorded.InputOf(row.Index);
    default:
        return &Frames.Inputs[row.Index];
    }
}

const TraceEntry* Frame::TraceAt(const Row& row) const {
    switch (row.Kind) {
    case RowKind::Pending:
        return row.Index < Run.PendingTrace.size() ? &Run.PendingTrace[row.Index] : nullptr;
    case RowKind::Live:
        return Recorded.TraceOf(row.Index);
    default:
        return row.Index < TracedFrames ? Frames.Trace.data() + row.Index : nullptr;
    }
}

std::optional<float> Frame::BoostAt(const Row& row) const {
    if (row.Kind == RowKind::Live || row.Kind == RowKind::Pending) {
        return std::nullopt;
    }
    const Keyframe* first = Frames.Keyframes.data();
    const Keyframe* last = first + Keyframes;
    const Keyframe* at = std::lower_bound(
        first, last, row.Frame, [](const Keyframe& k, uint64_t frame) { return k.Frame < frame; });
    return at != last && at->Frame == row.Frame ? std::optional<float>(at->Boost) : std::nullopt;
}

bool Frame::TeleportAt(const Row& row) const {
    const std::vector<uint64_t>& teleports = row.Kind == RowKind::Pending
                                                 ? Run.PendingTeleportFrames
                                             : row.Kind == RowKind::Live ? Recorded.Teleports
                                                                         : Frames.TeleportFrames;
    return std::binary_search(teleports.begin(), teleports.end(), row.Frame);
}

namespace {

// A frame of the run itself, not of a take-over.
bool OfTheRun(const Row& row) {
    return row.Kind == RowKind::Run || row.Kind == RowKind::Replaced;
}

} // namespace

const Marker* Frame::MarkerOf(const Row& row) const {
    return OfTheRun(row) ? MarkerAt(Frames.Markers, row.Frame) : nullptr;
}

const VehicleInput* Frame::ComparedAt(const Row& row) const {
    return OfTheRun(row) && Compared != nullptr && row.Frame < Compared->Inputs.size()
               ? &Compared->Inputs[row.Frame]
               : nullptr;
}

bool Frame::DiffersFromCompared(const Row& row) const {
    if (Compared == nullptr || !OfTheRun(row)) {
        return false;
    }
    const VehicleInput* theirs = ComparedAt(row);
    return theirs == nullptr || !SameInput(*InputAt(row), *theirs);
}

} // namespace inputs

namespace {

// The rows of a stopped run, with its pending take-over when not applied.
inputs::RowLayout StoppedLayout(const Tas& tas, const TasData& frames) {
    const bool pending = !tas.InputsApplied;
    return inputs::RowLayout(frames.Inputs.size(), pending ? tas.CurrentFrame : 0,
                             pending ? tas.PendingInputs.size() : 0);
}

// The recorded frames the graph and the table may show: the newest while
// following, else those around the rows shown last.
void CopyRecordedInView(const LiveRecording& live, const inputs::InputsTabState& view,
                        LiveRecording::Copy& out) {
    constexpr uint64_t Copied = 512; // the graph's frames and a table's rows
    const LiveRecording::Copy status = live.Status();
    uint64_t first = status.Recorded > Copied ? status.Recorded - Copied : 0;
    if (!view.Follow) {
        const uint64_t top = view.TopRow > status.From ? view.TopRow - status.From : 0;
        first = top > Copied / 2 ? top - Copied / 2 : 0;
    }
    live.CopyFrames(first, Copied, out);
}

} // namespace

// Drawn on the render thread while the game thread may replay or record the
// run: the run's arrays are read under LoadedTasLock, which the game thread
// holds whenever it changes them, and only the rows in view and the graph's
// few hundred frames are read. The tick only reads Data.Inputs, and appends
// to the trace a replay grows, into room made beforehand: the page reads no
// more of it than was published. A recording's new frames come from
// LiveTail. No host call is made under the lock: what was asked for is
// handed over after it.
void Gyrolog::RenderInputsTab() {
    std::unique_lock lock(LoadedTasLock);
    const Tas& tas = LoadedTas;
    if (tas.Data.Hitbox == HitboxType::Other) {
        ImGui::TextUnformatted("Load/Create a TAS to get going!");
        return;
    }
    // A save in progress holds the run's arrays: they are read where it holds them.
    const TasData& frames = LentRun ? *LentRun : tas.Data;
    const TasState state = tas.State;
    const ReplayCheckView check = ReplayCheck.Get();
    inputs::Frame frame(tas, frames, inputs::RowLayout(frames.Inputs.size(), 0, 0));
    frame.Live = state != TasState::Stopped;
    if (frame.Live) {
        // The trace a replay grows is read up to what was published, within
        // the room made for it, which only changes under the lock.
        frame.TracedFrames = std::min<uint64_t>(check.TraceFrames, frames.Trace.capacity());
        frame.Keyframes = std::min<uint64_t>(check.KeyframeCount, frames.Keyframes.capacity());
    } else {
        frame.TracedFrames = frames.TracedFrames();
        frame.Keyframes = frame.TracedFrames > 0 ? frames.Keyframes.size() : 0;
    }
    if (check.Last == ReplayCheckView::Drifted) {
        frame.DriftFrame = check.Frame;
    }
    // Held until the tab is drawn.
    const std::shared_ptr<const BranchesView> branches = Branches.View.Get();
    frame.Compared = branches->Compared.get();
    auto& view = InputsTab;
    if (state == TasState::Recording) {
        CopyRecordedInView(LiveTail, view, frame.Recorded);
        frame.Layout = inputs::RowLayout::Live(
            std::min<uint64_t>(frame.Recorded.From, frames.Inputs.size()), frame.Recorded.Recorded);
    } else if (!frame.Live) {
        frame.Layout = StoppedLayout(tas, frames);
    }
    const uint64_t rows = frame.Layout.Rows();
    if (frame.Live && rows > 0) {
        const uint64_t at = state == TasState::Recording ? rows - 1 : tas.LiveFrame.load();
        frame.FollowRow = std::min(at, rows - 1);
        if (at < rows) {
            frame.LiveRow = at;
        }
    }
    // Fitted to the run's frames, also those a recording will replace.
    view.Selected.Fit(frames.Inputs.size());

    inputs::Request request;
    inputs::DrawToolbar(frame, view);
    inputs::DrawEditBar(frame, view, request);
    inputs::DrawGraph(frame, view);
    inputs::DrawTable(frame, view, request);
    lock.unlock();
    if (request.Edit) {
        gameWrapper->Execute([this, make = std::move(request.Edit)](GameWrapper*) {
            GuardedOnGame("frame edit", [&] { Editor.EditFromPage(make); });
        });
    }
    using Kind = inputs::Request::Kind;
    if (request.Run == Kind::None) {
        return;
    }
    gameWrapper->Execute([this, kind = request.Run, at = request.Frame](GameWrapper*) {
        GuardedOnGame("Inputs tab", [&] {
            switch (kind) {
            case Kind::RerecordFrom:
                RerecordFrom(at);
                break;
            case Kind::PlayFrom:
                PlayFromCommand({"tas_playfrom", std::to_string(at)});
                break;
            case Kind::Undo:
                Editor.Undo();
                break;
            case Kind::Redo:
                Editor.Redo();
                break;
            case Kind::None:
                break;
            }
        });
    });
}
