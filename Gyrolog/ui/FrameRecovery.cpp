#include "ui/FrameRecovery.h"

#include <imgui.h>
#include <imgui_internal.h>

namespace ui {

namespace {

// The style stacks moved from the window into the context after 1.75.
#if IMGUI_VERSION_NUM >= 18000
int ColourCount(ImGuiContext& g) {
    return g.ColorStack.Size;
}
int StyleVarCount(ImGuiContext& g) {
    return g.StyleVarStack.Size;
}
int ItemFlagCount(ImGuiContext& g) {
    return g.ItemFlagsStack.Size;
}
#else
int ColourCount(ImGuiContext& g) {
    return g.ColorModifiers.Size;
}
int StyleVarCount(ImGuiContext& g) {
    return g.StyleModifiers.Size;
}
int ItemFlagCount(ImGuiContext& g) {
    return g.CurrentWindow->DC.ItemFlagsStack.Size;
}
#endif

void EndWindow(ImGuiWindow* window) {
    if (window->Flags & ImGuiWindowFlags_Popup) {
        ImGui::EndPopup();
    } else if (window->Flags & ImGuiWindowFlags_ChildWindow) {
        ImGui::EndChild();
    } else {
        ImGui::End();
    }
}

void PopStylesTo(ImGuiContext& g, const FrameMark& mark) {
    if (ColourCount(g) > mark.colours) {
        ImGui::PopStyleColor(ColourCount(g) - mark.colours);
    }
    if (StyleVarCount(g) > mark.styleVars) {
        ImGui::PopStyleVar(StyleVarCount(g) - mark.styleVars);
    }
#if IMGUI_VERSION_NUM >= 18000
    // Item flags are the context's here, the window's in older versions.
    while (ItemFlagCount(g) > mark.itemFlags) {
        ImGui::PopItemFlag();
    }
#endif
}

} // namespace

FrameMark MarkFrame() {
    ImGuiContext& g = *GImGui;
    FrameMark mark;
    mark.window = g.CurrentWindow;
    mark.windows = g.CurrentWindowStack.Size;
    mark.ids = g.CurrentWindow->IDStack.Size;
    mark.treeDepth = g.CurrentWindow->DC.TreeDepth;
    mark.tabBars = g.CurrentTabBarStack.Size;
    mark.colours = ColourCount(g);
    mark.styleVars = StyleVarCount(g);
    mark.itemFlags = ItemFlagCount(g);
    return mark;
}

void RecoverFrame(const FrameMark& mark) {
    ImGuiContext& g = *GImGui;
    // Windows and popups opened since the mark, innermost first. Each may
    // end with fewer styles pushed than it began with, never with more.
    while (g.CurrentWindowStack.Size > mark.windows) {
        PopStylesTo(g, mark);
        g.CurrentWindow->IDStack.resize(1); // its own ID, as it began
        EndWindow(g.CurrentWindow);
    }
    while (g.CurrentWindow->DC.TreeDepth > mark.treeDepth) {
        ImGui::TreePop();
    }
    while (g.CurrentTabBarStack.Size > mark.tabBars) {
        // The tab bar's ID sits on the stack, an open tab item's above it.
        g.CurrentWindow->IDStack.resize(mark.ids + 1);
        ImGui::EndTabBar();
    }
    g.CurrentWindow->IDStack.resize(mark.ids);
    PopStylesTo(g, mark);
    while (ItemFlagCount(g) > mark.itemFlags) {
        ImGui::PopItemFlag();
    }
}

} // namespace ui
