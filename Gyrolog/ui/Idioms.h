#pragma once

#include <string>

// Small Dear ImGui helpers shared by the tabs of the settings page.
namespace ui {

// A text input that grows the string as the user types. The host's Dear ImGui
// ships no standard-string input, so the resize callback is ours.
// flags are Dear ImGui's ImGuiInputTextFlags.
bool InputText(const char* label, std::string& text, int flags = 0);

// Puts the next item, width wide, on the line of the last one when it fits
// the window there: a bar of buttons wraps as text does.
void SameLineIfFits(float width);

// Half alpha and no clicks for the items drawn until PopDisabled.
void PushDisabled();
void PopDisabled();

// A tooltip for the last item while it is disabled, drawn at full alpha.
void TooltipWhenDisabled(bool disabled, const char* text);

// A button that is dim, with refused as its tooltip, when refused is set;
// says whether it was clicked while it was not.
bool ButtonUnless(const char* label, const char* refused);

// A red button; the colours and the ID scope are popped before it returns.
bool RedButton(const char* label, float width = 0.0f, float height = 0.0f);

// The width a button with this label takes; width 0 sizes it to its text.
float ButtonWidth(const char* label, float width = 0.0f);

// Text within width: cut at a character and ended with "..." when it does not
// fit, the whole text in a tooltip while hovered.
void ElidedText(const std::string& text, float width);

// Two dialog buttons on one line use this size.
constexpr float PopupButtonWidth = 120.0f;

enum class Answer { None, Delete, Cancel };
// The body of an open delete confirmation popup: the question, the line
// naming what goes, a red Delete and a Cancel. Closes the popup once answered.
Answer DeleteConfirmation(const char* question, const std::string& what);

} // namespace ui
