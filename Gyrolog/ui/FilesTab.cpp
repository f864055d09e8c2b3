#include "Guarded.h"
#include "Gyrolog.h"
#include "runs/files/RunFile.h"
#include "ui/Idioms.h"

#include <imgui.h>
#include <string>

// Acts on the row index that showed file when it was clicked, on the game
// thread. The list may have been listed anew since the click: a row that no
// longer holds the same file is left alone, so that no other file is loaded
// or deleted.
void Gyrolog::DeferOnRow(const char* what, int index, const std::filesystem::path& file,
                         void (Gyrolog::*action)(int)) {
    gameWrapper->Execute([this, what, index, file, action](GameWrapper*) {
        GuardedOnGame(what, [&] {
            const auto files = TasFiles.Get();
            if (index >= 0 && static_cast<size_t>(index) < files->size() &&
                (*files)[index].Path == file) {
                (this->*action)(index);
            }
        });
    });
}

// The first unsaved run found at load, with what can be done about it.
void Gyrolog::RenderRecoveryLine() {
    const auto found = FoundRecoveries.Get();
    if (found->empty()) {
        return;
    }
    const char* recover = "Recover##GyrologRecovery";
    const char* discard = "Discard##GyrologRecovery";
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    ui::ElidedText("Unsaved run " + found->front().Name + ": " +
                       std::to_string(found->front().Frames) + " frames",
                   ImGui::GetContentRegionAvail().x - ui::ButtonWidth(recover) -
                       ui::ButtonWidth(discard) - 2.0f * spacing);
    ImGui::SameLine();
    if (ImGui::Button(recover)) {
        gameWrapper->Execute(
            [this](GameWrapper*) { GuardedOnGame("recover", [&] { RecoverRun(); }); });
    }
    ImGui::SameLine();
    if (ui::RedButton(discard)) {
        gameWrapper->Execute(
            [this](GameWrapper*) { GuardedOnGame("discard", [&] { DiscardRecovery(); }); });
    }
}

void Gyrolog::RenderTasFiles() {
    RenderRecoveryLine();
    const auto files = TasFiles.Get(); // this frame's snapshot
    if (files->empty()) {
        ImGui::TextUnformatted("Create a TAS and save it to see it here");
    }
    for (int i = 0; static_cast<size_t>(i) < files->size(); ++i) {
        const std::string load = "Load##Gyrolog" + std::to_string(i);
        const std::string remove = "Delete##Gyrolog" + std::to_string(i);
        // A long name gives way to the row's buttons, never the other way.
        const float spacing = ImGui::GetStyle().ItemSpacing.x;
        ui::ElidedText((*files)[i].Name, ImGui::GetContentRegionAvail().x -
                                             ui::ButtonWidth(load.c_str()) -
                                             ui::ButtonWidth(remove.c_str()) - 2.0f * spacing);
        ImGui::SameLine();
        if (ImGui::Button(load.c_str())) {
            DeferOnRow("load", i, (*files)[i].Path, &Gyrolog::LoadTas);
        }
        ImGui::SameLine();
        if (ui::RedButton(remove.c_str())) {
            if (CvarIsOn("tas_confirmfiledelete")) {
                SelectedFile = i;
                SelectedFilePath = (*files)[i].Path;
                ImGui::OpenPopup("Delete Confirm##Gyrolog");
            } else {
                DeferOnRow("delete", i, (*files)[i].Path, &Gyrolog::DeleteTas);
            }
        }
    }
    if (ImGui::Button("Refresh List##Gyrlog")) {
        gameWrapper->Execute(
            [this](GameWrapper*) { GuardedOnGame("refresh", [&] { RefreshTasFiles(); }); });
    }

    if (ImGui::BeginPopupModal("Delete Confirm##Gyrolog", nullptr,
                               ImGuiWindowFlags_AlwaysAutoResize)) {
        const ui::Answer answer =
            ui::DeleteConfirmation("Are you sure you want to delete this run?",
                                   "File: " + Utf8FromPath(SelectedFilePath.filename()));
        if (answer == ui::Answer::Delete) {
            DeferOnRow("delete", SelectedFile, SelectedFilePath, &Gyrolog::DeleteTas);
        }
        if (answer != ui::Answer::None) {
            SelectedFile = -1;
        }
        ImGui::EndPopup();
    }
}
