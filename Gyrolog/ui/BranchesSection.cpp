#include "ui/BranchesSection.h"

#include "ui/Idioms.h"

#include <imgui.h>

namespace branches {
namespace {

constexpr const char* ConfirmPopup = "Delete Branch Confirm##Gyrolog";

std::string Describe(const BranchRow& row) {
    const std::string differs = row.FirstDiffers
                                    ? "differs at frame " + std::to_string(*row.FirstDiffers)
                                    : std::string("same as the loaded run");
    return row.Name + ": " + std::to_string(row.Frames) + " frames, " + differs;
}

void KeepLine(const BranchesView& view, SectionState& state, Request& request) {
    const char* keep = "Keep as branch##Gyrolog";
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("a branch name of some length").x);
    ui::InputText("Branch name##Gyrolog", state.NewName);
    ui::SameLineIfFits(ui::ButtonWidth(keep));
    if (ui::ButtonUnless(keep, state.NewName.empty() ? "Type a name for the branch" : nullptr)) {
        request = {Request::Kind::Keep, state.NewName, view.Run};
        state.NewName.clear();
    }
}

// One branch: what it holds, then its buttons. Says whether its Delete asks
// to be confirmed.
bool BranchLine(const BranchesView& view, const BranchRow& row, bool confirmDelete,
                Request& request) {
    const bool compared = row.Name == view.ComparedName;
    const char* load = "Load##Gyrolog";
    const char* compare = compared ? "Uncompare##Gyrolog" : "Compare##Gyrolog";
    const char* remove = "Delete##Gyrolog";
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    ImGui::PushID(row.Name.c_str());
    // A long name gives way to the row's buttons, never the other way.
    ui::ElidedText(Describe(row), ImGui::GetContentRegionAvail().x - ui::ButtonWidth(load) -
                                      ui::ButtonWidth(compare) - ui::ButtonWidth(remove) -
                                      3.0f * spacing);
    ImGui::SameLine();
    if (ImGui::Button(load)) {
        request = {Request::Kind::Load, row.Name, view.Run};
    }
    ImGui::SameLine();
    if (ImGui::Button(compare)) {
        request = {compared ? Request::Kind::EndCompare : Request::Kind::Compare, row.Name,
                   view.Run};
    }
    ImGui::SameLine();
    bool confirm = false;
    if (ui::RedButton(remove)) {
        confirm = confirmDelete;
        if (!confirmDelete) {
            request = {Request::Kind::Delete, row.Name, view.Run};
        }
    }
    ImGui::PopID();
    return confirm;
}

void ConfirmDelete(SectionState& state, Request& request) {
    if (!ImGui::BeginPopupModal(ConfirmPopup, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        return;
    }
    const ui::Answer answer = ui::DeleteConfirmation("Are you sure you want to delete this branch?",
                                                     "Branch: " + state.ToDelete);
    if (answer == ui::Answer::Delete) {
        request = {Request::Kind::Delete, state.ToDelete, state.ToDeleteOf};
    }
    if (answer != ui::Answer::None) {
        state.ToDelete.clear();
        state.ToDeleteOf.clear();
    }
    ImGui::EndPopup();
}

} // namespace

Request DrawSection(const BranchesView& view, SectionState& state, bool confirmDelete) {
    Request request;
    if (!ImGui::CollapsingHeader("Branches##Gyrolog")) {
        return request;
    }
    KeepLine(view, state, request);
    if (!view.Keeping.empty()) {
        ImGui::TextUnformatted(("Keeping branch " + view.Keeping + "...").c_str());
    }
    if (view.Rows.empty()) {
        ImGui::TextUnformatted("No branches of this run yet");
    }
    for (const BranchRow& row : view.Rows) {
        if (BranchLine(view, row, confirmDelete, request)) {
            state.ToDelete = row.Name;
            state.ToDeleteOf = view.Run;
            // Opened outside the row's ID scope, where the popup is drawn.
            ImGui::OpenPopup(ConfirmPopup);
        }
    }
    if (!view.ComparedName.empty()) {
        ImGui::TextUnformatted(
            ("Compared with " + view.ComparedName + ": B marks its other frames in the Inputs tab")
                .c_str());
    }
    ConfirmDelete(state, request);
    return request;
}

} // namespace branches
