#pragma once

struct ImGuiWindow;

// A page frame cut short by a failure leaves windows, popups, tab bars and
// pushed styles open in the host's Dear ImGui context, which would then end
// the host's own window for us. The mark is taken where the page starts;
// recovery closes whatever was opened after it.
namespace ui {

struct FrameMark {
    ImGuiWindow* window = nullptr;
    int windows = 0;
    int ids = 0;
    int treeDepth = 0;
    int tabBars = 0;
    int colours = 0;
    int styleVars = 0;
    int itemFlags = 0;
};

FrameMark MarkFrame();
void RecoverFrame(const FrameMark& mark);

} // namespace ui
