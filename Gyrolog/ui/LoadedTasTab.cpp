#include "Guarded.h"
#include "Gyrolog.h"
#include "runs/files/RunFolder.h"
#include "ui/Idioms.h"

#include <algorithm>
#include <fmt/core.h>
#include <imgui.h>

#include <string>

namespace {

// The inputs and editors below return whether they changed the value.
bool FloatInput(const char* label, float& value) {
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", 5);
    return ImGui::InputFloat(label, &value, 1.0f, 10.0f, format);
}

bool IntInput(const char* label, int32_t& value) {
    return ImGui::InputInt(label, &value, 1, 100);
}

bool VectorInputs(const char* node, const std::string& prefix, Vector& value) {
    if (!ImGui::TreeNode(node)) {
        return false;
    }
    bool changed = FloatInput(("X##" + prefix).c_str(), value.X);
    changed |= FloatInput(("Y##" + prefix).c_str(), value.Y);
    changed |= FloatInput(("Z##" + prefix).c_str(), value.Z);
    ImGui::TreePop();
    return changed;
}

// One starting-state block; actor is "car" or "ball".
bool StartingStateEditor(const char* title, const std::string& actor, StartingState& state) {
    if (!ImGui::TreeNode(title)) {
        return false;
    }
    bool changed = ImGui::Checkbox(("Enabled##" + actor + "enabled").c_str(), &state.Enabled);
    changed |= VectorInputs(("Location##" + actor).c_str(), actor + "loc", state.Location);
    if (ImGui::TreeNode(("Rotation##" + actor).c_str())) {
        changed |= IntInput(("Pitch##" + actor + "rot").c_str(), state.Rotation.Pitch);
        changed |= IntInput(("Yaw##" + actor + "rot").c_str(), state.Rotation.Yaw);
        changed |= IntInput(("Roll##" + actor + "rot").c_str(), state.Rotation.Roll);
        ImGui::TreePop();
    }
    changed |= VectorInputs(("Velocity##" + actor).c_str(), actor + "vel", state.Velocity);
    changed |=
        VectorInputs(("Angular Velocity##" + actor).c_str(), actor + "ang", state.AngularVelocity);
    ImGui::TreePop();
    return changed;
}

// Whether replays can be checked, and what the last one found. Reads only the
// values the game thread publishes.
void RenderReplayCheck(const ReplayCheckView& check) {
    const uint64_t traced = check.TraceFrames;
    const uint64_t frames = check.RunFrames;
    std::string trace = "Trace: none, replays are not checked";
    if (traced > 0 && traced < frames) {
        trace = "Trace: " + std::to_string(traced) + " of " + std::to_string(frames) + " frames";
    } else if (traced > 0) {
        trace = "Trace: " + std::to_string(traced) + " frames";
    }
    ImGui::TextUnformatted(trace.c_str());
    const ReplayCheckView::Outcome outcome = check.Last;
    const uint64_t frame = check.Frame;
    // Only a replay checked from frame 0 proves the run: one placed at a
    // keyframe says where it began.
    const std::string from =
        check.From > 0 ? " from frame " + std::to_string(check.From) : std::string();
    std::string last;
    switch (outcome) {
    case ReplayCheckView::NoReplay:
        last = "none yet";
        break;
    case ReplayCheckView::Checking:
        last = "being checked" + from;
        break;
    case ReplayCheckView::Faithful:
        last = "faithful" + from + " (" + std::to_string(frame - check.From) + " frames checked)";
        break;
    case ReplayCheckView::Drifted:
        last = "drifted at frame " + std::to_string(frame) +
               (check.From > 0 ? " (placed at frame " + std::to_string(check.From) + ")" : "");
        break;
    default:
        last = "not checked";
        break;
    }
    ImGui::TextUnformatted(("Last replay: " + last).c_str());
}

// Undo or Redo: dim with "Nothing to ..." when there is nothing, else with
// what it would do as its tooltip. Says whether it was clicked.
bool HistoryButton(const char* label, const std::string& what, const char* verb,
                   const char* nothing) {
    const bool clicked = ui::ButtonUnless(label, what.empty() ? nothing : nullptr);
    if (!what.empty() && ImGui::IsItemHovered()) {
        ImGui::SetTooltip("%s", (std::string(verb) + " " + what).c_str());
    }
    return clicked;
}

// What the Branches section asked for, on the game thread: nothing when
// another run has been loaded since the click.
void ActOnBranch(RunBranches& all, const branches::Request& asked) {
    using Kind = branches::Request::Kind;
    if (all.View.Get()->Run != asked.Run) {
        return;
    }
    switch (asked.What) {
    case Kind::Keep:
        all.Keep(asked.Name);
        break;
    case Kind::Load:
        all.Load(asked.Name);
        break;
    case Kind::Compare:
        all.Compare(asked.Name);
        break;
    case Kind::EndCompare:
        all.EndCompare();
        break;
    case Kind::Delete:
        all.Delete(asked.Name);
        break;
    case Kind::None:
        break;
    }
}

} // namespace

Tas::DetailsEdit Tas::RenderDetails(const std::filesystem::path& runFolder) {
    DetailsEdit edit;
    ui::ElidedText("TAS Name: " + Name, ImGui::GetContentRegionAvail().x - ui::PopupButtonWidth -
                                            ImGui::GetStyle().ItemSpacing.x);
    ImGui::SameLine(0, -1);
    if (ImGui::Button("Change Name##Gyrologname", ImVec2(ui::PopupButtonWidth, 0))) {
        NameEdit = Name;
        ImGui::OpenPopup("Change TAS Name##Gyrologpopup4");
    }
    edit.StartsChanged = StartingStateEditor("Car Starting State", "car", Data.CarStart);
    edit.StartsChanged |= StartingStateEditor("Ball Starting State", "ball", Data.BallStart);
    if (edit.StartsChanged) {
        Data.TraceStale = true;
    }

    ImGui::Text("%s", ("Hitbox type: " + std::string(HitboxName(Data.Hitbox))).c_str());
    ImGui::Text("%s", ("Air Sensitivity: " + std::to_string(Data.AirSensitivity)).c_str());
    ImGui::Text("%s", ("Steer Sensitivity: " + std::to_string(Data.SteerSensitivity)).c_str());

    if (ImGui::BeginPopupModal("Change TAS Name##Gyrologpopup4", nullptr,
                               ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("Name:");
        ImGui::SameLine(0, -1);
        ui::InputText("TAS Name##Gyrologpopup4", NameEdit);
        const char* problem = RunNameProblem(runFolder, NameEdit);
        NameEditInvalid = problem != nullptr;
        const bool invalid = NameEditInvalid;
        if (invalid) {
            ui::PushDisabled();
        }
        if (ImGui::Button("Update##Gyrologpopup4", ImVec2(ui::PopupButtonWidth, 0)) && !invalid) {
            if (NameEdit != Name) {
                edit.RenamedFrom = Name;
            }
            Name = NameEdit;
            NameEdit.clear();
            ImGui::CloseCurrentPopup();
        }
        if (invalid) {
            ui::TooltipWhenDisabled(true, problem);
            ui::PopDisabled();
        }
        ImGui::SameLine(0, -1);
        if (ImGui::Button("Cancel##Gyrologpopup4", ImVec2(ui::PopupButtonWidth, 0))) {
            NameEdit.clear();
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
    return edit;
}

void Gyrolog::RenderLoadedTas() {
    // The run editor edits the loaded run in place under the lock; the game
    // thread waits meanwhile where it reads or replaces the same fields. No
    // host call is made while it is held: what the buttons need is copied.
    Tas::DetailsEdit edit;
    StartingState car;
    StartingState ball;
    std::string name;
    std::string undo;
    std::string redo;
    {
        std::lock_guard lock(LoadedTasLock);
        if (LoadedTas.Data.Hitbox == HitboxType::Other) {
            ImGui::TextUnformatted("Load/Create a TAS to get going!");
            return;
        }
        car = LoadedTas.Data.CarStart;
        ball = LoadedTas.Data.BallStart;
        edit = LoadedTas.RenderDetails(DataFolder);
        name = LoadedTas.Name;
        undo = Editor.UndoText();
        redo = Editor.RedoText();
    }
    CommitPageEdits(edit, car, ball);
    RenderReplayCheck(ReplayCheck.Get());
    auto deferHistory = [this](const char* verb, void (RunEditor::*action)()) {
        gameWrapper->Execute([this, action, verb](GameWrapper*) {
            GuardedOnGame(verb, [&] { (Editor.*action)(); });
        });
    };
    if (HistoryButton("Undo##Gyrolog", undo, "Undo", "Nothing to undo")) {
        deferHistory("Undo", &RunEditor::Undo);
    }
    ImGui::SameLine(0, -1);
    if (HistoryButton("Redo##Gyrolog", redo, "Redo", "Nothing to redo")) {
        deferHistory("Redo", &RunEditor::Redo);
    }

    auto deferSave = [this] {
        gameWrapper->Execute([this](GameWrapper*) {
            GuardedOnGame("save", [&] {
                SaveTas();
                RefreshTasFiles();
            });
        });
    };
    if (ImGui::Button("Save TAS##Gyrolog")) {
        const auto files = TasFiles.Get();
        const auto clash = std::find_if(files->begin(), files->end(), [&](const TasFile& file) {
            return file.Name != name && SameRunName(file.Name, name);
        });
        if (name.empty()) {
            ShowToast("TAS name can't be empty", ToastKind::Error);
        } else if (clash != files->end()) {
            ShowToast(CaseClashMessage(clash->Name), ToastKind::Error);
        } else if (IsListed(*files, name) && CvarIsOn("tas_confirmoverwritefile")) {
            // The published list, not the disk: the page does no file work.
            ImGui::OpenPopup("Overwrite Confirm##Gyrolog");
        } else {
            deferSave();
        }
    }

    if (ImGui::BeginPopupModal("Overwrite Confirm##Gyrolog", nullptr,
                               ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("TAS file already exisits, would you like to overwrite it?");
        ImGui::TextUnformatted(("File: " + name + ".data").c_str());
        if (ImGui::Button("Overwrite##Gyrologpopup", ImVec2(ui::PopupButtonWidth, 0))) {
            deferSave();
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine(0, -1);
        if (ImGui::Button("Cancel##Gyrologpopup", ImVec2(ui::PopupButtonWidth, 0))) {
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }

    const branches::Request asked = branches::DrawSection(*Branches.View.Get(), BranchesSection,
                                                          CvarIsOn("tas_confirmfiledelete"));
    if (asked.What != branches::Request::Kind::None) {
        gameWrapper->Execute([this, asked](GameWrapper*) {
            GuardedOnGame("branch", [&] { ActOnBranch(Branches, asked); });
        });
    }
}

// A starting-state field is one step of the history once it is committed
// (no widget active any more), not one per keystroke; a rename is one step.
void Gyrolog::CommitPageEdits(const Tas::DetailsEdit& edit, const StartingState& car,
                              const StartingState& ball) {
    const uint64_t run = Editor.Generation();
    if (edit.StartsChanged && !StartsBeforeEdit) {
        StartsBeforeEdit = {car, ball};
        StartsEditRun = run;
    }
    if (StartsBeforeEdit && !ImGui::IsAnyItemActive()) {
        gameWrapper->Execute([this, before = *StartsBeforeEdit,
                              edited = StartsEditRun](GameWrapper*) {
            GuardedOnGame("starting state edit",
                          [&] { Editor.CommitStartsEdit(before.first, before.second, edited); });
        });
        StartsBeforeEdit.reset();
    }
    if (edit.RenamedFrom) {
        gameWrapper->Execute([this, oldName = *edit.RenamedFrom, run](GameWrapper*) {
            GuardedOnGame("rename", [&] { Editor.CommitRename(oldName, run); });
        });
    }
}
