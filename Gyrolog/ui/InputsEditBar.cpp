#include "ui/Idioms.h"
#include "ui/InputsFrame.h"

#include <imgui.h>

#include <charconv>
#include <optional>
#include <string>
#include <utility>

// The toolbar and the edits of the selected frames. Each edit is worked out
// and made on the game thread, from the run as it is when the edit runs, and
// is one step of the history; the page only says which frames and what.
namespace inputs {
namespace {

float FieldWidth(const char* widest) {
    return ImGui::CalcTextSize(widest).x + 2 * ImGui::GetStyle().FramePadding.x;
}

// A field and its label, as wide as they are drawn.
float LabelledWidth(const char* widest, const char* label) {
    return FieldWidth(widest) + ImGui::GetStyle().ItemInnerSpacing.x +
           ImGui::CalcTextSize(label, nullptr, true).x;
}

void SameLineIfButtonFits(const char* label) {
    ui::SameLineIfFits(ui::ButtonWidth(label));
}

// Selects the frame and scrolls the table to it in this frame.
void GoTo(const Frame& frame, InputsTabState& view, uint64_t at) {
    view.Selected.Select(at, false);
    view.ScrollToRow = frame.Layout.RowOfRunFrame(at);
    view.Follow = view.Follow && !frame.Live; // the frame asked for stays in view
}

std::optional<uint64_t> ParsedFrame(const std::string& text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        return UINT64_MAX;
    }
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

void DrawMarkerJumps(const Frame& frame, InputsTabState& view) {
    const uint64_t from =
        view.Selected.Any() ? view.Selected.Cursor() : frame.Layout.At(view.TopRow).Frame;
    const std::vector<Marker>& markers = frame.Frames.Markers;
    const std::optional<uint64_t> before = MarkerBefore(markers, from);
    const std::optional<uint64_t> after = MarkerAfter(markers, from);
    SameLineIfButtonFits("< Marker##Gyrolog");
    if (ui::ButtonUnless("< Marker##Gyrolog", before ? nullptr : "No marker before")) {
        GoTo(frame, view, *before);
    }
    SameLineIfButtonFits("Marker >##Gyrolog");
    if (ui::ButtonUnless("Marker >##Gyrolog", after ? nullptr : "No marker after")) {
        GoTo(frame, view, *after);
    }
}

} // namespace

void DrawToolbar(const Frame& frame, InputsTabState& view) {
    ImGui::Checkbox("Follow##Gyrolog", &view.Follow);
    ui::SameLineIfFits(LabelledWidth("0000000", "Go to frame"));
    ImGui::SetNextItemWidth(FieldWidth("0000000"));
    // Enter goes to the frame typed, also when it is the one already there.
    const bool entered =
        ui::InputText("Go to frame##Gyrolog", view.GoToText,
                      ImGuiInputTextFlags_CharsDecimal | ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::SameLine(0, -1);
    const bool go = ImGui::Button("Go##Gyrologgoto");
    if ((entered || go) && frame.RunFrames() > 0) {
        if (const std::optional<uint64_t> asked = ParsedFrame(view.GoToText)) {
            const uint64_t at = std::min(*asked, frame.RunFrames() - 1);
            view.GoToText = std::to_string(at);
            GoTo(frame, view, at);
        }
    }
    ui::SameLineIfFits(ImGui::GetFrameHeight() + ImGui::CalcTextSize("State").x + 8.0f);
    ImGui::Checkbox("State##Gyrolog", &view.ShowState);
    ui::SameLineIfFits(ImGui::GetFrameHeight() + ImGui::CalcTextSize("Speeds").x + 8.0f);
    ImGui::Checkbox("Speeds##Gyrolog", &view.PlotSpeeds);
    if (ImGui::IsItemHovered()) {
        ImGui::SetTooltip("Plot the car's and the ball's speed in the graph");
    }
    DrawMarkerJumps(frame, view);
    ImGui::TextUnformatted(view.Selected.Describe().c_str());
}

void CopySelection(const Frame& frame, InputsTabState& view) {
    const uint64_t first = view.Selected.First;
    const uint64_t last = view.Selected.Last;
    if (view.Selected.Any() && FrameRangeProblem(frame.Frames, first, last).empty()) {
        view.Clipboard = CopyFrames(frame.Frames, first, last);
    }
}

void DrawEditBar(const Frame& frame, InputsTabState& view, Request& request) {
    const bool selected = view.Selected.Any();
    const uint64_t first = view.Selected.First;
    const uint64_t last = view.Selected.Last;
    const char* why = frame.Live ? "Stop the TAS before editing"
                      : selected ? nullptr
                                 : "Select a frame first";
    const auto button = [](const char* label, const char* refused) {
        SameLineIfButtonFits(label);
        return ui::ButtonUnless(label, refused);
    };
    const auto defer = [&request](std::function<FrameEdit(const TasData&)> make) {
        request.Edit = std::move(make);
    };

    // The control by the name the CSV and the console give it.
    ImGui::SetNextItemWidth(FieldWidth("flip_sideways"));
    ui::InputText("Control##Gyrologedit", view.EditControl);
    const std::optional<FrameControl> control = ControlByName(view.EditControl);
    const std::string unknown = "Not a control: type one of " + ControlNames();
    const char* setRefused = why ? why : control ? nullptr : unknown.c_str();
    ui::SameLineIfFits(LabelledWidth("-0.00000", "Value"));
    ImGui::SetNextItemWidth(FieldWidth("-0.00000"));
    ImGui::InputFloat("Value##Gyrologedit", &view.EditValue, 0.0f, 0.0f, "%.5f");
    if (button("Set##Gyrologedit", setRefused)) {
        defer([=, value = view.EditValue, control = *control](const TasData& run) {
            return SetControl(run, first, last, control, value);
        });
    }
    if (control && IsFlagControl(*control) && button("Toggle##Gyrologedit", why)) {
        defer([=, flag = *control](const TasData& run) {
            return ToggleFlag(run, first, last, flag);
        });
    }

    ui::SameLineIfFits(FieldWidth("000000"));
    ImGui::SetNextItemWidth(FieldWidth("000000"));
    ImGui::InputInt("##Gyrologinsertcount", &view.InsertCount, 0, 0);
    const auto count = static_cast<uint64_t>(std::max(view.InsertCount, 0));
    if (button("Insert copies##Gyrologedit", why)) {
        defer(
            [=](const TasData& run) { return InsertFrames(run, first, count, InsertFill::Copy); });
    }
    if (button("Insert neutral##Gyrologedit", why)) {
        defer([=](const TasData& run) {
            return InsertFrames(run, first, count, InsertFill::Neutral);
        });
    }
    if (button("Delete##Gyrologedit", why)) {
        defer([=](const TasData& run) { return DeleteFrames(run, first, last); });
    }

    // Copy reads the frames here, under the lock the tab holds; paste hands
    // its own copy of them to the game thread.
    if (button("Copy##Gyrologedit", selected ? nullptr : "Select a frame first")) {
        CopySelection(frame, view);
    }
    const char* pasteRefused = why ? why : view.Clipboard.empty() ? "Copy frames first" : nullptr;
    if (button("Paste over##Gyrologedit", pasteRefused)) {
        defer(
            [=, clip = view.Clipboard](const TasData& run) { return PasteOver(run, first, clip); });
    }
    if (button("Paste inserted##Gyrologedit", pasteRefused)) {
        defer([=, clip = view.Clipboard](const TasData& run) {
            return PasteInserted(run, first, clip);
        });
    }
    const std::string copied = "Copied: " + std::to_string(view.Clipboard.size());
    ui::SameLineIfFits(ImGui::CalcTextSize(copied.c_str()).x);
    ImGui::TextUnformatted(copied.c_str());

    // From the selected frame: a quick seek where a keyframe is before it.
    const char* startRefused = frame.Live ? "Stop the TAS first"
                               : selected ? nullptr
                                          : "Select a frame first";
    if (button("Re-record from here##Gyrolog", startRefused)) {
        request.Run = Request::Kind::RerecordFrom;
        request.Frame = first;
    }
    if (button("Play from here##Gyrolog", startRefused)) {
        request.Run = Request::Kind::PlayFrom;
        request.Frame = first;
    }
    ui::SameLineIfFits(LabelledWidth("a marker's text", "Marker"));
    ImGui::SetNextItemWidth(FieldWidth("a marker's text"));
    ui::InputText("Marker##Gyrologedit", view.MarkerText);
    const bool marked = selected && MarkerAt(frame.Frames.Markers, first) != nullptr;
    if (button("Mark##Gyrologedit", why)) {
        defer([=, text = view.MarkerText](const TasData& run) {
            return SetMarker(run, first, text);
        });
    }
    if (button("Unmark##Gyrologedit", why ? why : marked ? nullptr : "The frame has no marker")) {
        defer([=](const TasData& run) { return RemoveMarker(run, first); });
    }
}

void TakeTableKeys(const Frame& frame, InputsTabState& view, Request& request, uint64_t pageRows) {
    const ImGuiIO& io = ImGui::GetIO();
    if (io.WantTextInput) {
        return;
    }
    const auto pressed = [](ImGuiKey key) {
        return ImGui::IsKeyPressed(ImGui::GetKeyIndex(key));
    };
    const uint64_t frames = frame.RunFrames();
    const auto move = [&](int64_t delta) {
        view.Selected.Move(delta, io.KeyShift, frames);
        if (view.Selected.Any()) {
            view.ScrollToRow = frame.Layout.RowOfRunFrame(view.Selected.Cursor());
            view.Follow = view.Follow && !frame.Live;
        }
    };
    const auto page = static_cast<int64_t>(std::max<uint64_t>(pageRows, 1));
    if (pressed(ImGuiKey_UpArrow)) {
        move(-1);
    } else if (pressed(ImGuiKey_DownArrow)) {
        move(1);
    } else if (pressed(ImGuiKey_PageUp)) {
        move(-page);
    } else if (pressed(ImGuiKey_PageDown)) {
        move(page);
    }
    if (io.KeyCtrl && pressed(ImGuiKey_Z)) {
        request.Run = Request::Kind::Undo;
    } else if (io.KeyCtrl && pressed(ImGuiKey_Y)) {
        request.Run = Request::Kind::Redo;
    }
    if (!view.Selected.Any()) {
        return;
    }
    const uint64_t first = view.Selected.First;
    const uint64_t last = view.Selected.Last;
    if (io.KeyCtrl && pressed(ImGuiKey_C)) {
        CopySelection(frame, view);
    }
    if (frame.Live) {
        return; // the edits below say so on their buttons
    }
    if (io.KeyCtrl && pressed(ImGuiKey_V) && !view.Clipboard.empty()) {
        request.Edit = [=, clip = view.Clipboard, inserted = io.KeyShift](const TasData& run) {
            return inserted ? PasteInserted(run, first, clip) : PasteOver(run, first, clip);
        };
    } else if (pressed(ImGuiKey_Delete)) {
        request.Edit = [=](const TasData& run) {
            return DeleteFrames(run, first, last);
        };
    } else if (pressed(ImGuiKey_Insert)) {
        request.Edit = [=](const TasData& run) {
            return InsertFrames(run, first, 1, InsertFill::Neutral);
        };
    }
}

} // namespace inputs
