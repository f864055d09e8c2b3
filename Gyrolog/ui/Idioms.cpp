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

// The longest start of text, cut before a character, that fits width with
// the ellipsis after it.
size_t FittingLength(const std::string& text, float width) {
    size_t fits = 0;
    size_t tooLong = text.size();
    while (tooLong - fits > 1) {
        size_t middle = fits + (tooLong - fits) / 2;
        while (middle > fits && (static_cast<unsigned char>(text[middle]) & 0xC0) == 0x80) {
            --middle; // not inside a UTF-8 sequence
        }
        if (middle == fits) {
            break;
        }
        const std::string candidate = text.substr(0, middle) + "...";
        if (ImGui::CalcTextSize(candidate.c_str()).x <= width) {
            fits = middle;
        } else {
            tooLong = middle;
        }
    }
    return fits;
}

} // namespace

float ButtonWidth(const char* label, float width) {
    if (width > 0.0f) {
        return width;
    }
    return ImGui::CalcTextSize(label, nullptr, true).x + ImGui::GetStyle().FramePadding.x * 2.0f;
}

void ElidedText(const std::string& text, float width) {
    if (ImGui::CalcTextSize(text.c_str()).x <= width) {
        ImGui::TextUnformatted(text.c_str());
        return;
    }
    ImGui::TextUnformatted((text.substr(0, FittingLength(text, width)) + "...").c_str());
    if (ImGui::IsItemHovered()) {
        ImGui::SetTooltip("%s", text.c_str());
    }
}

bool InputText(const char* label, std::string& text, int flags) {
    return ImGui::InputText(label, text.data(), text.capacity() + 1,
                            flags | ImGuiInputTextFlags_CallbackResize, ResizeString, &text);
}

void SameLineIfFits(float width) {
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    const float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    if (ImGui::GetItemRectMax().x + spacing + width <= right) {
        ImGui::SameLine(0, spacing);
    }
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

bool ButtonUnless(const char* label, const char* refused) {
    if (refused) {
        PushDisabled();
    }
    const bool clicked = ImGui::Button(label) && !refused;
    if (refused) {
        TooltipWhenDisabled(true, refused);
        PopDisabled();
    }
    return clicked;
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

Answer DeleteConfirmation(const char* question, const std::string& what) {
    ImGui::TextUnformatted(question);
    ImGui::TextUnformatted(what.c_str());
    Answer answer = Answer::None;
    if (RedButton("Delete##Gyrologpopup", PopupButtonWidth)) {
        answer = Answer::Delete;
    }
    ImGui::SameLine(0, -1);
    if (ImGui::Button("Cancel##Gyrologpopup", ImVec2(PopupButtonWidth, 0))) {
        answer = Answer::Cancel;
    }
    if (answer != Answer::None) {
        ImGui::CloseCurrentPopup();
    }
    return answer;
}

} // namespace ui
