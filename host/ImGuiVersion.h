#pragma once

// The few things the UI driver reads or does differently under the two Dear
// ImGui versions it runs with: Debian's 1.86 and the host's own 1.75.
#include <imgui.h>

namespace sim {

// Where a font's glyphs are drawn from the pen, beyond each glyph's own
// offset: 1.75 keeps the default font's 1 px in the font and adds it at draw
// time, 1.86 folds it into every glyph.
ImVec2 GlyphDrawOffset(const ImFont& font);

// Closes what a page left open in the current window when it failed half-way
// (tab bars, tree nodes, groups, pushed IDs, colours, style variables), so
// that the window can be ended.
void RecoverCurrentWindow();

} // namespace sim
