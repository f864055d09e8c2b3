#include "ImGuiVersion.h"

#include <imgui_internal.h>

namespace sim {

#if IMGUI_VERSION_NUM < 18000 // the host's 1.75

ImVec2 GlyphDrawOffset(const ImFont& font) {
    return font.DisplayOffset;
}

void RecoverCurrentWindow() {
    // Begin keeps the stack sizes it started with: IDs, groups, popups,
    // colours, style variables, fonts.
    ImGuiContext& g = *ImGui::GetCurrentContext();
    ImGuiWindow* window = g.CurrentWindow;
    const short* atBegin = window->DC.StackSizesBackup;
    while (g.CurrentTabBar) {
        ImGui::EndTabBar();
    }
    while (window->DC.TreeDepth > 0) {
        ImGui::TreePop();
    }
    while (window->DC.GroupStack.Size > atBegin[1]) {
        ImGui::EndGroup();
    }
    while (window->IDStack.Size > atBegin[0]) {
        ImGui::PopID();
    }
    while (g.ColorModifiers.Size > atBegin[3]) {
        ImGui::PopStyleColor();
    }
    while (g.StyleModifiers.Size > atBegin[4]) {
        ImGui::PopStyleVar();
    }
}

#else // Debian's 1.86

ImVec2 GlyphDrawOffset(const ImFont&) {
    return ImVec2(0, 0);
}

void RecoverCurrentWindow() {
    ImGui::ErrorCheckEndWindowRecover(nullptr);
}

#endif

} // namespace sim
