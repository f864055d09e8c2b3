#include "Guarded.h"
#include "Gyrolog.h"
#include "ui/Idioms.h"

#include <imgui.h>

#include <optional>
#include <string>
#include <utility>

// The edits of the selected frames. Each is worked out and made on the game
// thread, from the run as it is when the edit runs, and is one step of the
// history; the page only says which frames and what.
std::function<FrameEdit(const TasData&)> Gyrolog::RenderFrameEditBar(const TasData& frames,
                                                                     bool live) {
    auto& view = InputsTab;
    const bool selected = view.Selected.Any();
    const uint64_t first = view.Selected.First;
    const uint64_t last = view.Selected.Last;
    const char* why = live       ? "Stop the TAS before editing"
                      : selected ? nullptr
                                 : "Select a frame first";
    const auto editButton = ui::ButtonUnless;
    // Handed to the game thread by the caller, once it lets go of the run.
    std::function<FrameEdit(const TasData&)> clicked;
    auto defer = [&clicked](std::function<FrameEdit(const TasData&)> make) {
        clicked = std::move(make);
    };

    // The control by the name the CSV and the console give it.
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("flip_sideways").x +
                            2 * ImGui::GetStyle().FramePadding.x);
    ui::InputText("Control##Gyrologedit", view.EditControl);
    const std::optional<FrameControl> control = ControlByName(view.EditControl);
    const std::string unknown = "Not a control: type one of " + ControlNames();
    const char* setRefused = why ? why : control ? nullptr : unknown.c_str();
    ImGui::SameLine(0, -1);
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("-0.00000").x +
                            2 * ImGui::GetStyle().FramePadding.x);
    ImGui::InputFloat("Value##Gyrologedit", &view.EditValue, 0.0f, 0.0f, "%.5f");
    ImGui::SameLine(0, -1);
    if (editButton("Set##Gyrologedit", setRefused)) {
        defer([=, value = view.EditValue, control = *control](const TasData& run) {
            return SetControl(run, first, last, control, value);
        });
    }
    if (control && IsFlagControl(*control)) {
        ImGui::SameLine(0, -1);
        if (editButton("Toggle##Gyrologedit", why)) {
            defer([=, flag = *control](const TasData& run) {
                return ToggleFlag(run, first, last, flag);
            });
        }
    }

    ImGui::SetNextItemWidth(ImGui::CalcTextSize("000000").x + 2 * ImGui::GetStyle().FramePadding.x);
    ImGui::InputInt("##Gyrologinsertcount", &view.InsertCount, 0, 0);
    ImGui::SameLine(0, -1);
    const auto count = static_cast<uint64_t>(std::max(view.InsertCount, 0));
    if (editButton("Insert copies##Gyrologedit", why)) {
        defer(
            [=](const TasData& run) { return InsertFrames(run, first, count, InsertFill::Copy); });
    }
    ImGui::SameLine(0, -1);
    if (editButton("Insert neutral##Gyrologedit", why)) {
        defer([=](const TasData& run) {
            return InsertFrames(run, first, count, InsertFill::Neutral);
        });
    }
    ImGui::SameLine(0, -1);
    if (editButton("Delete##Gyrologedit", why)) {
        defer([=](const TasData& run) { return DeleteFrames(run, first, last); });
    }

    // Copy reads the frames here, under the lock the tab holds; paste hands
    // its own copy of them to the game thread.
    if (editButton("Copy##Gyrologedit", selected ? nullptr : "Select a frame first") &&
        FrameRangeProblem(frames, first, last).empty()) {
        view.Clipboard = CopyFrames(frames, first, last);
    }
    const char* pasteRefused = why ? why : view.Clipboard.empty() ? "Copy frames first" : nullptr;
    ImGui::SameLine(0, -1);
    if (editButton("Paste over##Gyrologedit", pasteRefused)) {
        defer(
            [=, clip = view.Clipboard](const TasData& run) { return PasteOver(run, first, clip); });
    }
    ImGui::SameLine(0, -1);
    if (editButton("Paste inserted##Gyrologedit", pasteRefused)) {
        defer([=, clip = view.Clipboard](const TasData& run) {
            return PasteInserted(run, first, clip);
        });
    }
    ImGui::SameLine(0, -1);
    ImGui::TextUnformatted(("Copied: " + std::to_string(view.Clipboard.size())).c_str());
    return clicked;
}
