#include "ui/Idioms.h"

#include <imgui.h>
#include <imgui_internal.h>

namespace ui {
namespace {

// Dear ImGui asks for more room with the buffer it is editing: grow the
// string and hand its storage back.
int ResizeString(ImGuiInputTextCallbackData* data) {
    if (data->EventFlag == ImGuiInputTextFlags_CallbackResize) {
        auto* text = static_cast<std::string*>(data->UserData);
        text->resize(static_cast<size_t>(data->BufTextLen));
        data->Buf = text->data();
    }
    return 0;
}

} // namespace

bool InputText(const char* label, std::string& text) {
    return ImGui::InputText(label, text.data(), text.capacity() + 1,
                            ImGuiInputTextFlags_CallbackResize, ResizeString, &text);
}

void PushDisabled() {
    ImGui::PushItemFlag(ImGuiItemFlags_Disabled, true);
    ImGui::PushStyleVar(ImGuiStyleVar_Alpha, ImGui::GetStyle().Alpha * 0.5f);
}

void PopDisabled() {
    ImGui::PopItemFlag();
    ImGui::PopStyleVar();
}

void TooltipWhenDisabled(bool disabled, const char* text) {
    if (disabled && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
        PopDisabled();
        ImGui::SetTooltip("%s", text);
        PushDisabled();
    }
}

bool RedButton(const char* label, float width, float height) {
    ImGui::PushID(0);
    ImGui::PushStyleColor(ImGuiCol_Button, static_cast<ImVec4>(ImColor::HSV(0.0f, 0.6f, 0.6f)));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered,
                          static_cast<ImVec4>(ImColor::HSV(0.0f, 0.7f, 0.7f)));
    ImGui::PushStyleColor(ImGuiCol_ButtonActive,
                          static_cast<ImVec4>(ImColor::HSV(0.0f, 0.8f, 0.8f)));
    const bool clicked = ImGui::Button(label, ImVec2(width, height));
    ImGui::PopStyleColor(3);
    ImGui::PopID();
    return clicked;
}

} // namespace ui
