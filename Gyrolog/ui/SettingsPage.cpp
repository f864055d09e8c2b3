#include "Guarded.h"
#include "Gyrolog.h"
#include "ui/FrameRecovery.h"

#include <imgui.h>

void Gyrolog::SetImGuiContext(uintptr_t ctx) {
    ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(ctx));
}

// Drawn on the host's render thread. Only the selected tab's body runs, so a
// tab's popups exist only while it is selected. Actions are handed to the
// game thread with Execute; the page calls no game function itself. A
// failure part-way is reported and what the page had opened is closed, so the
// host's window and the next frame go on as usual.
void Gyrolog::RenderSettings() {
    const ui::FrameMark mark = ui::MarkFrame();
    bool drawn = false;
    Guarded("settings page", [&] {
        RenderSettingsTabs();
        drawn = true;
    });
    if (!drawn) {
        ui::RecoverFrame(mark);
    }
}

void Gyrolog::RenderSettingsTabs() {
    // Keeps the freeplay test current where no canvas is drawn.
    gameWrapper->Execute(
        [this](GameWrapper*) { GuardedOnGame("freeplay test", [&] { RefreshInFreeplay(); }); });
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
    bool loaded = false;
    {
        std::lock_guard lock(LoadedTasLock);
        loaded = LoadedTas.Data.Hitbox != HitboxType::Other;
    }
    if (loaded && ImGui::BeginTabItem("Inputs##Gyrolog")) {
        RenderInputsTab();
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
