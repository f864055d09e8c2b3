#include "Guarded.h"
#include "Gyrolog.h"

#include <imgui.h>

void Gyrolog::SetImGuiContext(uintptr_t ctx) {
    ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(ctx));
}

// Only the selected tab's body runs, so a tab's popups exist only while it is
// selected. Actions are handed to the game thread with Execute.
void Gyrolog::RenderSettings() {
    if (!ImGui::BeginTabBar("Gyrolog Tab Bar##Gyrolog")) {
        return;
    }
    if (ImGui::BeginTabItem("Files##Gyrolog")) {
        RenderTasFiles();
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Loaded TAS##Gyrolog")) {
        RenderLoadedTas();
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Controls##Gyrolog")) {
        RenderTasControls();
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Settings##Gyrolog")) {
        RenderSettingsTab();
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}
