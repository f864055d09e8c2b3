#include "Guarded.h"
#include "Gyrolog.h"
#include "runs/files/RunFolder.h"
#include "ui/Idioms.h"

#include <imgui.h>

namespace {

constexpr const char* ControlsHint = "Enter freeplay and load a TAS for controls";

} // namespace

void Gyrolog::RenderTasControls() {
    bool loaded = false;
    {
        std::lock_guard lock(LoadedTasLock);
        loaded = LoadedTas.Data.Hitbox != HitboxType::Other;
    }
    NotInFreeplay = !InFreeplay;
    ControlsDisabled = NotInFreeplay || !loaded;
    const bool stopped = LoadedTas.State == TasState::Stopped;
    StopDisabled = !ControlsDisabled && stopped;
    UpdateDisabled = !ControlsDisabled && (!stopped || LoadedTas.InputsApplied);

    auto defer = [this](const char* what, void (Gyrolog::*action)()) {
        gameWrapper->Execute([this, what, action](GameWrapper*) {
            GuardedOnGame(what, [&] { (this->*action)(); });
        });
    };

    if (ControlsDisabled) {
        ui::PushDisabled();
    }
    if (ImGui::Button("Start##Gyrolog")) {
        defer("start", &Gyrolog::Start);
    }
    ui::TooltipWhenDisabled(ControlsDisabled, ControlsHint);

    ImGui::SameLine(0, -1);
    if (StopDisabled) {
        ui::PushDisabled();
    }
    if (ImGui::Button("Stop##Gyrolog")) {
        defer("stop", &Gyrolog::Stop);
    }
    ui::TooltipWhenDisabled(StopDisabled, "TAS is already stopped");
    if (StopDisabled) {
        ui::PopDisabled();
    }
    ui::TooltipWhenDisabled(ControlsDisabled, ControlsHint);

    if (UpdateDisabled) {
        ui::PushDisabled();
    }
    ImGui::SameLine(0, -1);
    if (ImGui::Button("Update##Gyrolog")) {
        defer("update", &Gyrolog::UpdateInputs);
    }
    ui::TooltipWhenDisabled(UpdateDisabled, LoadedTas.State == TasState::Stopped
                                                ? "Inputs already updated"
                                                : "Stop the TAS to update inputs");
    if (UpdateDisabled) {
        ui::PopDisabled();
    }
    ui::TooltipWhenDisabled(ControlsDisabled, ControlsHint);
    if (ControlsDisabled) {
        ui::PopDisabled();
    }

    ImGui::SameLine(0, -1);
    if (NotInFreeplay) {
        ui::PushDisabled();
    }
    if (ImGui::Button("New TAS##Gyrolog")) {
        std::lock_guard lock(LoadedTasLock);
        NewTasWarningPending = !LoadedTas.Name.empty();
        NewTasName.clear();
        ImGui::OpenPopup("New Tas##Gyrologpopup2");
    }
    ui::TooltipWhenDisabled(NotInFreeplay, "Enter freeplay to create a new TAS");
    if (NotInFreeplay) {
        ui::PopDisabled();
    }

    RenderFloatCvar("tas_replayspeed", "Replaying Speed##Gyrolog", 0.05f, 5.0f);
    RenderFloatCvar("tas_recordspeed", "Recording Speed##Gyrolog", 0.05f, 5.0f);
    RenderFloatCvar("tas_seekspeed", "Seeking Speed##Gyrolog", 0.05f, 5.0f);

    // The frame field is the page's own: the frame goes with the action.
    if (ControlsDisabled) {
        ui::PushDisabled();
    }
    if (ImGui::Button("Re-record From##Gyrolog")) {
        gameWrapper->Execute(
            [this, frame = static_cast<uint64_t>(RerecordFrameField)](GameWrapper*) {
                GuardedOnGame("re-record", [&] { RerecordFrom(frame); });
            });
    }
    ui::TooltipWhenDisabled(ControlsDisabled, ControlsHint);
    ImGui::SameLine(0, -1);
    ImGui::PushItemWidth(160.0f);
    if (ImGui::InputInt("Re-record Frame##Gyrolog", &RerecordFrameField, 1, 100) &&
        RerecordFrameField < 0) {
        RerecordFrameField = 0;
    }
    ImGui::PopItemWidth();
    if (ControlsDisabled) {
        ui::PopDisabled();
    }

    if (!ImGui::BeginPopupModal("New Tas##Gyrologpopup2", nullptr,
                                ImGuiWindowFlags_AlwaysAutoResize)) {
        return;
    }
    const ImVec2 buttonSize(ui::PopupButtonWidth, 0);
    // The step is chosen anew each frame, so switching the confirmation off
    // while the warning shows moves straight on to the name.
    if (NewTasWarningPending && CvarIsOn("tas_confirmoverwriteloadedtas")) {
        ImGui::TextUnformatted(
            "There is a TAS already loaded. Creating a new one will overwrite the existing one");
        ImGui::TextUnformatted("Make sure to save it to a file if you would like to keep it.");
        if (ImGui::Button("Create##Gyrologpopup2", buttonSize)) {
            NewTasName.clear();
            NewTasWarningPending = false;
        }
        ImGui::SameLine(0, -1);
        if (ImGui::Button("Cancel##Gyrologpopup2", buttonSize)) {
            ImGui::CloseCurrentPopup();
        }
    } else {
        ImGui::TextUnformatted("TAS Name:");
        ImGui::SameLine(0, -1);
        ui::InputText("TAS Name##Gyrologpopup3", NewTasName);
        if (ImGui::IsItemHovered() && NewTasName.empty()) {
            ImGui::SetTooltip("%s", "Make sure to give your TAS a name");
        } else if (ImGui::IsAnyItemHovered() && !NewTasName.empty() &&
                   RunNameProblem(DataFolder, NewTasName)) {
            ImGui::SetTooltip("%s", RunNameProblem(DataFolder, NewTasName));
        }
        if (ImGui::Button("Create##Gyrologpopup3", buttonSize) &&
            !RunNameProblem(DataFolder, NewTasName)) {
            // The name goes with the action: the field is the page's own.
            gameWrapper->Execute([this, name = std::move(NewTasName)](GameWrapper*) {
                GuardedOnGame("new TAS", [&] { CreateNewTas(name); });
            });
            NewTasName.clear();
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine(0, -1);
        if (ImGui::Button("Cancel##Gyrologpopup3", buttonSize)) {
            NewTasName.clear();
            ImGui::CloseCurrentPopup();
        }
    }
    ImGui::EndPopup();
}
