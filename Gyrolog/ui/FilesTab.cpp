#include "Guarded.h"
#include "Gyrolog.h"
#include "ui/Idioms.h"

#include <imgui.h>
#include <string>

void Gyrolog::RenderTasFiles() {
    // The deletion reads SelectedFile when it runs, not when it was asked for.
    auto deferDeletion = [this] {
        gameWrapper->Execute([this](GameWrapper*) {
            Guarded("delete", [&] {
                DeleteTas(SelectedFile);
                SelectedFile = -1;
            });
        });
    };

    if (TasFiles.empty()) {
        ImGui::TextUnformatted("Create a TAS and save it to see it here");
    }
    for (int i = 0; static_cast<size_t>(i) < TasFiles.size(); ++i) {
        ImGui::TextUnformatted(TasFiles[i].Name.c_str());
        ImGui::SameLine();
        if (ImGui::Button(("Load##Gyrolog" + std::to_string(i)).c_str())) {
            gameWrapper->Execute([this, i](GameWrapper*) { Guarded("load", [&] { LoadTas(i); }); });
        }
        ImGui::SameLine();
        if (ui::RedButton(("Delete##Gyrolog" + std::to_string(i)).c_str())) {
            SelectedFile = i;
            if (*ConfirmFileDelete) {
                ImGui::OpenPopup("Delete Confirm##Gyrolog");
            } else {
                deferDeletion();
            }
        }
    }
    if (ImGui::Button("Refresh List##Gyrlog")) {
        gameWrapper->Execute(
            [this](GameWrapper*) { Guarded("refresh", [&] { RefreshTasFiles(); }); });
    }

    if (ImGui::BeginPopupModal("Delete Confirm##Gyrolog", nullptr,
                               ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("Are you sure you want to delete this run?");
        if (ui::RedButton("Delete##Gyrologpopup", ui::PopupButtonWidth)) {
            deferDeletion();
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine(0, -1);
        if (ImGui::Button("Cancel##Gyrologpopup", ImVec2(ui::PopupButtonWidth, 0))) {
            SelectedFile = -1;
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
}
