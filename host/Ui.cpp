#include "Ui.h"
#include "Host.h"
#include "ImGuiVersion.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace sim {
namespace {

constexpr float FrameSeconds = 1.0f / 60.0f;
// Texts drawn at less than this alpha are in the disabled look.
constexpr unsigned DisabledAlpha = 200;
// Texts whose tops are this close stand on one visual row.
constexpr float RowTolerance = 4.0f;
// Where the mouse rests when it points at nothing.
constexpr float ParkedMouse = -1000.0f;

// The keys' native codes as the game's Windows backend gives them (virtual-key
// codes), so that a page sees what it would see there: a letter is its capital.
constexpr std::pair<ImGuiKey, int> NativeKeys[] = {
    {ImGuiKey_Tab, 0x09},        {ImGuiKey_LeftArrow, 0x25},
    {ImGuiKey_RightArrow, 0x27}, {ImGuiKey_UpArrow, 0x26},
    {ImGuiKey_DownArrow, 0x28},  {ImGuiKey_PageUp, 0x21},
    {ImGuiKey_PageDown, 0x22},   {ImGuiKey_Home, 0x24},
    {ImGuiKey_End, 0x23},        {ImGuiKey_Insert, 0x2D},
    {ImGuiKey_Delete, 0x2E},     {ImGuiKey_Backspace, 0x08},
    {ImGuiKey_Space, 0x20},      {ImGuiKey_Enter, 0x0D},
    {ImGuiKey_Escape, 0x1B},     {ImGuiKey_KeyPadEnter, 0x0D},
    {ImGuiKey_A, 'A'},           {ImGuiKey_C, 'C'},
    {ImGuiKey_V, 'V'},           {ImGuiKey_X, 'X'},
    {ImGuiKey_Y, 'Y'},           {ImGuiKey_Z, 'Z'},
};

// The keys sim_ui_key names besides the letters a to z.
constexpr std::pair<const char*, ImGuiKey> KeyNames[] = {
    {"enter", ImGuiKey_Enter},   {"escape", ImGuiKey_Escape},     {"backspace", ImGuiKey_Backspace},
    {"tab", ImGuiKey_Tab},       {"up", ImGuiKey_UpArrow},        {"down", ImGuiKey_DownArrow},
    {"pageup", ImGuiKey_PageUp}, {"pagedown", ImGuiKey_PageDown}, {"home", ImGuiKey_Home},
    {"end", ImGuiKey_End},       {"delete", ImGuiKey_Delete},     {"insert", ImGuiKey_Insert},
};

int NativeKey(ImGuiKey key) {
    for (auto [imguiKey, native] : NativeKeys) {
        if (imguiKey == key) {
            return native;
        }
    }
    return -1;
}

std::optional<int> NativeKeyNamed(const std::string& name) {
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') {
        return name[0] - 'a' + 'A';
    }
    for (auto [keyName, key] : KeyNames) {
        if (name == keyName) {
            return NativeKey(key);
        }
    }
    return std::nullopt;
}

bool StartsWith(const char* text, const char* prefix) {
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A filled axis-aligned quad as Dear ImGui writes it: four vertices from the
// top left corner clockwise, one colour.
bool IsQuad(const ImDrawVert* v) {
    return v[0].pos.y == v[1].pos.y && v[1].pos.x == v[2].pos.x && v[2].pos.y == v[3].pos.y &&
           v[3].pos.x == v[0].pos.x && v[0].pos.x < v[1].pos.x && v[0].pos.y < v[3].pos.y &&
           v[0].col == v[1].col && v[0].col == v[2].col && v[0].col == v[3].col;
}

struct Rect {
    float left, top, right, bottom;
    ImU32 col;
    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
};

// A glyph where it is drawn, with the clip rectangle it was drawn under.
struct Glyph {
    const ImFontGlyph* glyph;
    Rect ink;
    float pen, top;
    ImVec4 clip;
};

bool SameRgb(ImU32 a, ImU32 b) {
    constexpr ImU32 rgb = ~IM_COL32_A_MASK;
    return (a & rgb) == (b & rgb);
}

bool Near(float a, float b) {
    return std::fabs(a - b) < 0.5f;
}

bool Overlap(const UiText& t, float left, float top, float right, float bottom) {
    return t.left < right && left < t.right && t.top < bottom && top < t.bottom;
}

// A glyph that puts ink on the screen: spaces have none.
bool HasInk(const ImFontGlyph& glyph) {
    return glyph.X0 != glyph.X1 && glyph.Y0 != glyph.Y1;
}

std::string Utf8(const ImFontGlyph& glyph) {
    const ImWchar codepoint[] = {static_cast<ImWchar>(glyph.Codepoint), 0};
    char utf8[8];
    ImTextStrToUtf8(utf8, sizeof utf8, codepoint, nullptr);
    return utf8;
}

std::string DisplayName(const char* name) {
    const char* hashes = std::strstr(name, "##");
    return hashes ? std::string(name, hashes) : std::string(name);
}

// What one draw list holds, sorted into the kinds the reader looks at.
struct Drawn {
    std::vector<Glyph> glyphs;
    std::vector<Rect> rects;
    std::vector<Rect> cut;         // glyphs that a clip rectangle trimmed on the CPU
    std::vector<ImDrawVert> loose; // vertices of every other shape
};

Drawn Sort(const ImDrawList& list,
           const std::map<std::pair<float, float>, const ImFontGlyph*>& glyphs, ImVec2 whitePixel,
           ImVec2 glyphOffset) {
    // Each vertex lies under the clip rectangle of the command that draws it.
    std::vector<ImVec4> clipOf(static_cast<size_t>(list.VtxBuffer.Size),
                               ImVec4(-1e9f, -1e9f, 1e9f, 1e9f));
    for (const ImDrawCmd& cmd : list.CmdBuffer) {
        for (unsigned i = 0; i < cmd.ElemCount; ++i) {
            const size_t vertex =
                cmd.VtxOffset + list.IdxBuffer[static_cast<int>(cmd.IdxOffset + i)];
            if (vertex < clipOf.size()) {
                clipOf[vertex] = cmd.ClipRect;
            }
        }
    }
    Drawn drawn;
    const auto& v = list.VtxBuffer;
    for (int i = 0; i < v.Size;) {
        if (i + 3 < v.Size && IsQuad(&v[i])) {
            const Rect rect{v[i].pos.x, v[i].pos.y, v[i + 2].pos.x, v[i + 2].pos.y, v[i].col};
            auto found = glyphs.find({v[i].uv.x, v[i].uv.y});
            if (found != glyphs.end() && v[i + 2].uv.x == found->second->U1 &&
                v[i + 2].uv.y == found->second->V1) {
                const ImFontGlyph* glyph = found->second;
                drawn.glyphs.push_back(Glyph{glyph, rect, v[i].pos.x - glyph->X0 - glyphOffset.x,
                                             v[i].pos.y - glyph->Y0 - glyphOffset.y,
                                             clipOf[static_cast<size_t>(i)]});
                i += 4;
                continue;
            }
            if (v[i].uv.x == whitePixel.x && v[i].uv.y == whitePixel.y) {
                drawn.rects.push_back(rect);
            } else {
                drawn.cut.push_back(rect);
            }
            i += 4;
            continue;
        }
        drawn.loose.push_back(v[i]);
        ++i;
    }
    return drawn;
}

// A text with what the widget reader needs of its glyphs.
struct Labelled {
    UiText text;
    float pen; // where the text's first glyph starts
    ImU32 col;
};

// Joins the glyphs of one draw list into texts: glyphs that follow each other
// at their advance, or at one to three spaces, on the same baseline and in
// the same look form one text.
std::vector<Labelled> Texts(const std::vector<Glyph>& glyphs) {
    const ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
    const float space = font->FindGlyph(' ')->AdvanceX;
    struct Run {
        UiText text;
        ImU32 col;
        float pen;    // where the text's first glyph starts
        float penEnd; // where the next glyph of this text would start
    };
    std::vector<Run> runs;
    for (const Glyph& g : glyphs) {
        const bool dim = ((g.ink.col >> IM_COL32_A_SHIFT) & 0xFF) < DisabledAlpha;
        const bool clipped = g.ink.left < g.clip.x - 0.5f || g.ink.top < g.clip.y - 0.5f ||
                             g.ink.right > g.clip.z + 0.5f || g.ink.bottom > g.clip.w + 0.5f;
        const std::string character = Utf8(*g.glyph);
        bool joined = false;
        for (auto& run : runs) {
            if (std::fabs(run.text.top - g.top) > 0.5f || run.text.disabled != dim) {
                continue;
            }
            const float gap = g.pen - run.penEnd;
            const float spaces = std::round(gap / space);
            if (std::fabs(gap) < 0.05f ||
                (spaces >= 1 && spaces <= 3 && std::fabs(gap - spaces * space) < 0.05f)) {
                run.text.text.append(static_cast<size_t>(std::max(0.0f, spaces)), ' ');
                run.text.text += character;
                run.text.right = g.ink.right;
                run.penEnd = g.pen + g.glyph->AdvanceX;
                if (clipped) {
                    run.text.hidden = "clipped by the window's edge";
                }
                joined = true;
                break;
            }
        }
        if (!joined) {
            UiText text;
            text.text = character;
            text.left = g.ink.left;
            text.top = g.top;
            text.right = g.ink.right;
            text.bottom = g.top + font->FontSize;
            text.disabled = dim;
            if (clipped) {
                text.hidden = "clipped by the window's edge";
            }
            runs.push_back(Run{std::move(text), g.ink.col, g.pen, g.pen + g.glyph->AdvanceX});
        }
    }
    std::vector<Labelled> texts;
    for (auto& run : runs) {
        texts.push_back(Labelled{std::move(run.text), run.pen, run.col});
    }
    return texts;
}

// Finds the widget a text labels from the shapes drawn around it, the way
// Dear ImGui lays them out: a checkbox's square stands left of its label, a
// tree node's arrow in the indent before it, a slider's value is centred in
// its frame.
void ReadWidget(UiText& text, float pen, ImU32 col, const Drawn& drawn) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float fontSize = ImGui::GetFontSize();
    const float frame = ImGui::GetFrameHeight();
    for (const Rect& r : drawn.rects) {
        const bool field = SameRgb(r.col, ImGui::GetColorU32(ImGuiCol_FrameBg)) ||
                           SameRgb(r.col, ImGui::GetColorU32(ImGuiCol_FrameBgHovered)) ||
                           SameRgb(r.col, ImGui::GetColorU32(ImGuiCol_FrameBgActive));
        // A square button (the - and + of an input) has the colours of a
        // hovered field but a glyph inside.
        const bool empty = std::none_of(drawn.glyphs.begin(), drawn.glyphs.end(), [&](auto& g) {
            return g.ink.left >= r.left && g.ink.right <= r.right && g.ink.top >= r.top &&
                   g.ink.bottom <= r.bottom;
        });
        if (field && empty && Near(r.Width(), frame) && Near(r.Height(), frame) &&
            Near(r.right + style.ItemInnerSpacing.x, pen) &&
            Near(r.top + style.FramePadding.y, text.top)) {
            const ImU32 mark = ImGui::GetColorU32(ImGuiCol_CheckMark);
            text.checked = std::any_of(drawn.loose.begin(), drawn.loose.end(), [&](auto& v) {
                return SameRgb(v.col, mark) && v.pos.x > r.left + 1 && v.pos.x < r.right - 1 &&
                       v.pos.y > r.top + 1 && v.pos.y < r.bottom - 1;
            });
            return;
        }
        if (field && Near(r.Height(), frame) && r.left < text.left && text.right < r.right &&
            Near(r.top + style.FramePadding.y, text.top)) {
            for (const Rect& grab : drawn.rects) {
                if ((SameRgb(grab.col, ImGui::GetColorU32(ImGuiCol_SliderGrab)) ||
                     SameRgb(grab.col, ImGui::GetColorU32(ImGuiCol_SliderGrabActive))) &&
                    grab.left >= r.left && grab.right <= r.right && grab.top > r.top &&
                    grab.bottom < r.bottom) {
                    // The grab's centre runs from the frame's left edge to its
                    // right one, each less the padding and half the grab.
                    constexpr float padding = 2.0f;
                    const float travel = r.Width() - 2 * padding - grab.Width();
                    text.slider = travel > 0 ? (grab.left - r.left - padding) / travel : 0.0f;
                    return;
                }
            }
        }
    }
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    int points = 0;
    for (const ImDrawVert& v : drawn.loose) {
        if (SameRgb(v.col, col) && (v.col & IM_COL32_A_MASK) != 0 && v.pos.x < pen &&
            v.pos.x > pen - fontSize - 2 * style.FramePadding.x - 1 && v.pos.y > text.top - 1 &&
            v.pos.y < text.top + fontSize + 1) {
            minX = std::min(minX, v.pos.x);
            maxX = std::max(maxX, v.pos.x);
            minY = std::min(minY, v.pos.y);
            maxY = std::max(maxY, v.pos.y);
            ++points;
        }
    }
    if (points >= 3) {
        text.open = maxX - minX > maxY - minY; // pointing down is wider than high
    }
}

// Fields trim their text's glyphs at their edges: a text with a trimmed glyph
// beside it is partly cut away.
void MarkCut(UiText& text, const std::vector<Rect>& cut) {
    const float space = ImGui::GetFont()->FindGlyph(' ')->AdvanceX;
    for (const Rect& r : cut) {
        if (r.left < text.right + space && text.left - space < r.right && r.top < text.bottom &&
            text.top < r.bottom) {
            text.hidden = "clipped by the window's edge";
        }
    }
}

// A selected row lies on a rectangle of the header colour, as Dear ImGui
// draws a selected item (buttons share its hue at another alpha): the first
// text on it carries the mark.
void MarkSelected(std::vector<UiText>& texts, const std::vector<Rect>& rects) {
    const ImU32 selected = ImGui::GetColorU32(ImGuiCol_Header);
    for (const Rect& r : rects) {
        if (r.col != selected) {
            continue;
        }
        UiText* first = nullptr;
        for (auto& text : texts) {
            if (text.top >= r.top - 0.5f && text.bottom <= r.bottom + 0.5f &&
                text.left >= r.left - 0.5f && text.right <= r.right + 0.5f &&
                (!first || text.left < first->left)) {
                first = &text;
            }
        }
        if (first) {
            first->selected = true;
        }
    }
}

// A text behind a window drawn in front of its own is covered where they meet.
void MarkCovered(std::vector<UiWindow>& windows) {
    for (size_t back = 0; back < windows.size(); ++back) {
        for (size_t front = back + 1; front < windows.size(); ++front) {
            const UiWindow& cover = windows[front];
            for (auto& row : windows[back].rows) {
                for (auto& text : row) {
                    if (text.hidden.empty() &&
                        Overlap(text, cover.left, cover.top, cover.right, cover.bottom)) {
                        text.hidden = cover.kind == UiWindow::Kind::Tooltip
                                          ? "covered by a tooltip"
                                          : "covered by the window \"" + cover.name + "\"";
                    }
                }
            }
        }
    }
}

// The Inputs tab's table: a child window whose first row is its header, one
// text per column, then one row per frame.
constexpr const char* InputsTable = "Gyrolog/Inputs";
constexpr const char* FrameColumn = "frame";

// Where a column lies across the table, from its header's left edge to the next one's.
struct Span {
    float left, right;
};

bool Within(const UiText& text, Span span) {
    return text.left < span.right && span.left < text.right;
}

// The header's texts: those at the top of the table's first row, which may
// also hold a row clipped beneath the header within the row tolerance.
std::vector<UiText> HeaderOf(const UiWindow& table) {
    const auto& first = table.rows.front();
    const float top = std::min_element(first.begin(), first.end(), [](auto& a, auto& b) {
                          return a.top < b.top;
                      })->top;
    std::vector<UiText> header;
    std::copy_if(first.begin(), first.end(), std::back_inserter(header),
                 [&](const UiText& text) { return Near(text.top, top); });
    return header;
}

bool Names(const std::vector<UiText>& header, const std::string& name) {
    return std::any_of(header.begin(), header.end(),
                       [&](const UiText& text) { return text.text == name; });
}

// The column whose header reads name, else the one whose header's tooltip
// does; tooltips holds one per header text or none.
std::optional<Span> ColumnSpan(const std::vector<UiText>& header,
                               const std::vector<std::string>& tooltips, const std::string& name,
                               float spacing) {
    auto named = std::find_if(header.begin(), header.end(),
                              [&](const UiText& text) { return text.text == name; });
    auto tip = std::find(tooltips.begin(), tooltips.end(), name);
    if (named == header.end() && tip == tooltips.end()) {
        return std::nullopt;
    }
    const auto i = static_cast<size_t>(named != header.end() ? named - header.begin()
                                                             : tip - tooltips.begin());
    const float right = i + 1 < header.size() ? header[i + 1].left : header[i].right + spacing;
    return Span{header[i].left, right};
}

const UiText* TextWithin(const std::vector<UiText>& row, Span span) {
    auto found = std::find_if(row.begin(), row.end(),
                              [&](const UiText& text) { return Within(text, span); });
    return found == row.end() ? nullptr : &*found;
}

// Finds the middle of the cell in column of the first row under the header
// whose text in frameColumn reads frame.
std::string PlaceCell(const UiWindow& table, Span frameColumn, Span column,
                      const std::string& frame, const std::string& columnName,
                      std::vector<Ui::TableCell>& cells) {
    for (size_t row = 1; row < table.rows.size(); ++row) {
        for (const UiText& text : table.rows[row]) {
            if (!Within(text, frameColumn) || text.text != frame) {
                continue;
            }
            if (!text.hidden.empty()) {
                return "frame " + frame + " is not shown in the Inputs table: \"" + frame +
                       "\" is drawn but " + text.hidden;
            }
            const UiText* cell = TextWithin(table.rows[row], column);
            if (cell && !cell->hidden.empty()) {
                return "the cell of frame " + frame + " in the column " + columnName +
                       " is drawn but " + cell->hidden;
            }
            cells.push_back(Ui::TableCell{(column.left + column.right) * 0.5f,
                                          (text.top + text.bottom) * 0.5f, row});
            return {};
        }
    }
    return "frame " + frame + " is not shown in the Inputs table";
}

// The tooltips' texts, as sim_ui_show prints them.
std::string TooltipText(const std::vector<UiWindow>& windows) {
    std::string tooltip;
    for (const auto& window : windows) {
        for (const auto& row : window.rows) {
            for (const auto& text : row) {
                if (window.kind == UiWindow::Kind::Tooltip) {
                    tooltip += (tooltip.empty() ? "" : " ") + text.text;
                }
            }
        }
    }
    return tooltip;
}

} // namespace

Ui::Ui(Host& host) : host_(host) {
    render_.Run([this] {
        context_ = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.LogFilename = nullptr;
        for (auto [key, native] : NativeKeys) {
            io.KeyMap[key] = native;
        }
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    });
}

Ui::~Ui() {
    StopFreeRunning();
    render_.Run([this] { ImGui::DestroyContext(context_); });
}

void Ui::HandContextTo(BakkesMod::Plugin::PluginSettingsWindow& page) {
    render_.Run(
        [&] { host_.Guard([&] { page.SetImGuiContext(reinterpret_cast<uintptr_t>(context_)); }); });
}

void Ui::StartFreeRunning(std::function<void(Ui&)> program) {
    StopFreeRunning();
    freeRunning_ = true;
    render_.Post([this, program = std::move(program)] {
        do {
            program(*this);
        } while (freeRunning_);
    });
}

void Ui::StopFreeRunning() {
    freeRunning_ = false;
    render_.Run([] {}); // the jobs run in order: the program's loop has ended
}

void Ui::DrawFrame() {
    // A frame called from the game thread runs its game side there first. A
    // free-running driver leaves that to the game thread's own loop.
    const GameFrame game = RenderThread::IsCurrent() ? host_.LastGameFrame() : host_.RunGameFrame();
    render_.Run([&] { Draw(game); });
}

void Ui::Draw(const GameFrame& game) {
    ++framesDrawn_;
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(static_cast<float>(std::max(game.screen.X, 320)),
                            static_cast<float>(std::max(game.screen.Y, 240)));
    io.DeltaTime = FrameSeconds;
    io.MousePos = ImVec2(mouseX_, mouseY_);
    io.MouseDown[0] = mouseDown_;
    io.MouseWheel = wheel_;
    io.KeyCtrl = ctrl_;
    io.KeyShift = shift_;
    std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
    for (int key : keysDown_) {
        io.KeysDown[key] = true;
    }
    for (unsigned int c : characters_) {
        io.AddInputCharacter(c);
    }
    characters_.clear();

    ImGui::NewFrame();
    DrawGame(game.field);
    auto* page = host_.SettingsWindow();
    ImGui::SetNextWindowPos(ImVec2(20, 180), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(560, 520), ImGuiCond_FirstUseEver);
    if (page) {
        std::string title;
        host_.Guard([&] { title = page->GetPluginName(); });
        if (ImGui::Begin(title.c_str(), nullptr, ImGuiWindowFlags_NoCollapse)) {
            bool failed = true;
            host_.Guard([&] {
                page->RenderSettings();
                failed = false;
            });
            if (failed) {
                RecoverCurrentWindow();
            }
        }
        ImGui::End();
    }
    // The game's canvas shares the screen: draw the overlay in front.
    ImDrawList* front = ImGui::GetForegroundDrawList();
    for (const auto& drawn : game.canvas) {
        front->AddText(nullptr, ImGui::GetFontSize() * drawn.yScale,
                       ImVec2(drawn.position.X, drawn.position.Y),
                       IM_COL32(drawn.color[0], drawn.color[1], drawn.color[2], drawn.color[3]),
                       drawn.text.c_str());
    }
    ImGui::Render();
}

// The game fills the screen behind the page; the camera looks down on the
// field, which takes the screen's right half, clear of where the page opens.
void Ui::DrawGame(const FieldScene& field) {
    const ImVec2 screen = ImGui::GetIO().DisplaySize;
    DrawField(*ImGui::GetBackgroundDrawList(), screen.x * 0.47f, screen.y * 0.25f, screen.x * 0.98f,
              screen.y * 0.98f, field);
}

void Ui::Frame(int count) {
    for (int i = 0; i < count; ++i) {
        DrawFrame();
    }
}

std::vector<UiWindow> Ui::Show() {
    // Dear ImGui lays a new tab bar out in its first frame and shows it from
    // the second: a first look waits for it, as a person's eyes would.
    if (framesDrawn_ == 0) {
        DrawFrame();
    }
    DrawFrame();
    return Read();
}

std::vector<UiWindow> Ui::Read() {
    std::vector<UiWindow> windows;
    render_.Run([&] { windows = ReadHere(); });
    return windows;
}

std::vector<UiWindow> Ui::ReadHere() const {
    ImGui::SetCurrentContext(context_);
    ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
    std::map<std::pair<float, float>, const ImFontGlyph*> glyphs;
    for (const ImFontGlyph& glyph : font->Glyphs) {
        if (HasInk(glyph)) {
            glyphs[{glyph.U0, glyph.V0}] = &glyph;
        }
    }

    std::vector<UiWindow> windows;
    ImDrawData* data = ImGui::GetDrawData();
    auto* page = host_.SettingsWindow();
    const std::string pageName = page ? page->GetPluginName() : std::string();
    for (int l = 0; data && l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        const char* owner = list->_OwnerName;
        ImGuiWindow* imguiWindow = owner ? ImGui::FindWindowByName(owner) : nullptr;
        if (!imguiWindow) {
            continue; // the background and foreground lists: the game's own drawing
        }
        UiWindow window;
        window.name = DisplayName(owner);
        // A child window of the page (a scrolling table) is part of the page.
        const bool pageChild = (imguiWindow->Flags & ImGuiWindowFlags_ChildWindow) &&
                               !(imguiWindow->Flags & ImGuiWindowFlags_Popup) &&
                               imguiWindow->RootWindow &&
                               std::string(imguiWindow->RootWindow->Name) == pageName;
        window.kind = page && (std::string(owner) == pageName || pageChild) ? UiWindow::Kind::Plugin
                      : StartsWith(owner, "##Tooltip") ? UiWindow::Kind::Tooltip
                                                       : UiWindow::Kind::Popup;
        window.left = imguiWindow->Pos.x;
        window.top = imguiWindow->Pos.y;
        window.right = imguiWindow->Pos.x + imguiWindow->Size.x;
        window.bottom = imguiWindow->Pos.y + imguiWindow->Size.y;
        const Drawn drawn =
            Sort(*list, glyphs, ImGui::GetIO().Fonts->TexUvWhitePixel, GlyphDrawOffset(*font));
        std::vector<UiText> texts;
        for (auto& labelled : Texts(drawn.glyphs)) {
            MarkCut(labelled.text, drawn.cut);
            ReadWidget(labelled.text, labelled.pen, labelled.col, drawn);
            texts.push_back(std::move(labelled.text));
        }
        MarkSelected(texts, drawn.rects);
        std::sort(texts.begin(), texts.end(), [](const UiText& a, const UiText& b) {
            return a.top != b.top ? a.top < b.top : a.left < b.left;
        });
        for (auto& text : texts) {
            if (window.rows.empty() || text.top - window.rows.back().front().top > RowTolerance) {
                window.rows.emplace_back();
            }
            window.rows.back().push_back(std::move(text));
        }
        for (auto& row : window.rows) {
            std::sort(row.begin(), row.end(),
                      [](const UiText& a, const UiText& b) { return a.left < b.left; });
        }
        if (!window.rows.empty()) {
            windows.push_back(std::move(window));
        }
    }
    MarkCovered(windows);
    return windows;
}

std::vector<std::string> Ui::Lines(const std::vector<UiWindow>& windows) {
    std::vector<std::string> lines;
    for (auto kind : {UiWindow::Kind::Plugin, UiWindow::Kind::Popup, UiWindow::Kind::Tooltip}) {
        for (const auto& window : windows) {
            if (window.kind != kind) {
                continue;
            }
            const char* separator = kind == UiWindow::Kind::Tooltip ? " " : " | ";
            for (const auto& row : window.rows) {
                std::string line;
                for (const auto& text : row) {
                    if (!text.hidden.empty()) {
                        continue;
                    }
                    line += line.empty() ? "" : separator;
                    if (text.checked) {
                        line += *text.checked ? "[x] " : "[ ] ";
                    }
                    line += text.text;
                    if (text.open) {
                        line += *text.open ? " [open]" : " [closed]";
                    }
                    if (text.selected) {
                        line += " [selected]";
                    }
                    if (text.slider) {
                        line += " [at " + std::to_string(std::lround(*text.slider * 100)) + "%]";
                    }
                    if (text.disabled) {
                        line += " [disabled]";
                    }
                }
                if (line.empty()) {
                    continue;
                }
                lines.push_back((kind == UiWindow::Kind::Plugin  ? "ui: "
                                 : kind == UiWindow::Kind::Popup ? "ui popup: "
                                                                 : "ui tooltip: ") +
                                line);
            }
        }
    }
    return lines;
}

const UiText* Ui::Find(const std::string& text, int index, const UiWindow** window,
                       std::string& error) {
    // A person moves the mouse away to look for the next target: the tooltip
    // of what it rested on goes, as it would on the screen.
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    shown_ = Show();
    for (auto w = shown_.rbegin(); w != shown_.rend(); ++w) {
        if (w->kind == UiWindow::Kind::Tooltip) {
            continue;
        }
        int seen = 0;
        const UiText* hidden = nullptr;
        for (const auto& row : w->rows) {
            for (const auto& candidate : row) {
                if (candidate.text != text) {
                    continue;
                }
                if (!candidate.hidden.empty()) {
                    hidden = hidden ? hidden : &candidate;
                    continue;
                }
                if (seen++ == index) {
                    if (window) {
                        *window = &*w;
                    }
                    return &candidate;
                }
            }
        }
        if (seen > 0) {
            error = "\"" + text + "\" is shown " + std::to_string(seen) + " time(s), not " +
                    std::to_string(index + 1);
            return nullptr;
        }
        if (hidden) {
            error = "\"" + text + "\" is drawn but " + hidden->hidden;
            return nullptr;
        }
    }
    error = "\"" + text + "\" is not shown";
    return nullptr;
}

void Ui::Press(float x, float y) {
    mouseX_ = x;
    mouseY_ = y;
    mouseDown_ = false;
    DrawFrame();
    mouseDown_ = true;
    DrawFrame();
    mouseDown_ = false;
    DrawFrame();
}

std::string Ui::Click(const std::string& text, int index) {
    std::string error;
    const UiText* found = Find(text, index, nullptr, error);
    if (!found) {
        return error;
    }
    Press((found->left + found->right) * 0.5f, (found->top + found->bottom) * 0.5f);
    // The hand leaves after the click, so the next look sees no tooltip of
    // the clicked item in front of its neighbours.
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    return {};
}

std::string Ui::ClickCell(const std::string& frame, const std::string& column) {
    TableCells table;
    if (auto error = FindCells({frame}, column, table); !error.empty()) {
        return error;
    }
    Press(table.cells[0].x, table.cells[0].y);
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    return {};
}

std::string Ui::Paint(const std::string& from, const std::string& to, const std::string& column) {
    TableCells table;
    if (auto error = FindCells({from, to}, column, table); !error.empty()) {
        return error;
    }
    const TableCell& first = table.cells[0];
    const TableCell& last = table.cells[1];
    mouseX_ = first.x;
    mouseY_ = first.y;
    DrawFrame();
    mouseDown_ = true;
    DrawFrame();
    // One frame on every row crossed, so that the page sees each of them.
    for (size_t row = first.row; row != last.row;) {
        row = last.row > row ? row + 1 : row - 1;
        mouseY_ = row == last.row ? last.y : table.rowMiddles[row];
        DrawFrame();
    }
    mouseDown_ = false;
    DrawFrame();
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    return {};
}

std::string Ui::FindCells(const std::vector<std::string>& frames, const std::string& column,
                          TableCells& found) {
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    const auto windows = Show();
    auto table = std::find_if(windows.begin(), windows.end(), [](const UiWindow& w) {
        return w.kind == UiWindow::Kind::Plugin && w.name == InputsTable;
    });
    if (table == windows.end()) {
        return "the Inputs table is not shown";
    }
    const auto header = HeaderOf(*table);
    // Short headers name their columns in full in their tooltips.
    std::vector<std::string> tooltips;
    if (!Names(header, FrameColumn) || !Names(header, column)) {
        tooltips = TooltipsOf(header);
    }
    const float spacing = ItemSpacing();
    const auto columnSpan = ColumnSpan(header, tooltips, column, spacing);
    if (!columnSpan) {
        return "no column " + column + " in the Inputs table";
    }
    const auto frameSpan = ColumnSpan(header, tooltips, FrameColumn, spacing);
    if (!frameSpan) {
        return "no column " + std::string(FrameColumn) + " in the Inputs table";
    }
    for (const auto& row : table->rows) {
        found.rowMiddles.push_back((row.front().top + row.front().bottom) * 0.5f);
    }
    for (const std::string& frame : frames) {
        if (auto error = PlaceCell(*table, *frameSpan, *columnSpan, frame, column, found.cells);
            !error.empty()) {
            return error;
        }
    }
    return {};
}

// The tooltip each text shows while the mouse rests on it, as Hover rests.
std::vector<std::string> Ui::TooltipsOf(const std::vector<UiText>& texts) {
    std::vector<std::string> tooltips;
    for (const UiText& text : texts) {
        mouseX_ = (text.left + text.right) * 0.5f;
        mouseY_ = (text.top + text.bottom) * 0.5f;
        DrawFrame();
        tooltips.push_back(TooltipText(Show()));
    }
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    return tooltips;
}

float Ui::ItemSpacing() {
    float spacing = 0.0f;
    render_.Run([&] {
        ImGui::SetCurrentContext(context_);
        spacing = ImGui::GetStyle().ItemSpacing.x;
    });
    return spacing;
}

std::string Ui::Hover(const std::string& text, int index) {
    std::string error;
    const UiText* found = Find(text, index, nullptr, error);
    if (!found) {
        return error;
    }
    mouseX_ = (found->left + found->right) * 0.5f;
    mouseY_ = (found->top + found->bottom) * 0.5f;
    // The mouse rests there: what the page asks about hovering in a frame
    // before it draws the hovered item (IsAnyItemHovered) is known from the
    // second frame on.
    Frame(2);
    return {};
}

std::string Ui::Edit(const std::string& label, int index) {
    std::string error;
    const UiWindow* window = nullptr;
    const UiText* found = Find(label, index, &window, error);
    if (!found) {
        return error;
    }
    // Dear ImGui draws the field left of its label; a float or integer input
    // has its - and + buttons between the two.
    std::vector<const UiText*> left;
    for (const auto& row : window->rows) {
        if (std::find_if(row.begin(), row.end(), [&](const UiText& t) { return &t == found; }) ==
            row.end()) {
            continue;
        }
        for (const auto& text : row) {
            if (text.right <= found->left) {
                left.push_back(&text);
            }
        }
    }
    std::sort(left.begin(), left.end(),
              [](const UiText* a, const UiText* b) { return a->left > b->left; });
    const float y = (found->top + found->bottom) * 0.5f;
    float x = found->left - 10.0f;
    const bool stepped = left.size() >= 2 && left[0]->text == "+" && left[1]->text == "-" &&
                         found->left - left[0]->right < 20.0f;
    if (stepped) {
        x = left[1]->left - 16.0f;
    }
    // A slider takes text only after a Ctrl+click; an input field ignores Ctrl.
    const bool wasCtrl = ctrl_;
    ctrl_ = true;
    Press(x, y);
    ctrl_ = wasCtrl;
    PressKey(NativeKey(ImGuiKey_A), true);
    return {};
}

void Ui::PressKey(int nativeKey, bool ctrl) {
    const bool wasCtrl = ctrl_;
    ctrl_ = ctrl_ || ctrl;
    keysDown_.push_back(nativeKey);
    DrawFrame();
    keysDown_.clear();
    DrawFrame();
    ctrl_ = wasCtrl;
}

void Ui::Type(const std::string& text) {
    std::vector<unsigned int> codepoints;
    for (const char* c = text.c_str(); *c;) {
        unsigned int codepoint = 0;
        c += ImTextCharFromUtf8(&codepoint, c, nullptr);
        codepoints.push_back(codepoint);
    }
    TypeCodepoints(codepoints);
}

void Ui::TypeCodepoints(const std::vector<unsigned int>& codepoints) {
    characters_.insert(characters_.end(), codepoints.begin(), codepoints.end());
    DrawFrame();
}

std::string Ui::Key(const std::string& name) {
    const auto key = NativeKeyNamed(name);
    if (!key) {
        return "unknown key '" + name + "'";
    }
    PressKey(*key, false);
    return {};
}

void Ui::HoldCtrl(bool held) {
    ctrl_ = held;
    DrawFrame();
}

void Ui::HoldShift(bool held) {
    shift_ = held;
    DrawFrame();
}

std::string Ui::Scroll(const std::string& title, float lines) {
    const auto shown = Show();
    auto window = std::find_if(shown.begin(), shown.end(), [&](const UiWindow& w) {
        return w.kind != UiWindow::Kind::Tooltip && w.name == title;
    });
    if (window == shown.end()) {
        return "no window \"" + title + "\" is shown";
    }
    // The wheel turns what is under the mouse: a spot inside the window's
    // frame, just above its bottom edge, that no window in front covers.
    const float x = (window->left + window->right) * 0.5f;
    const float y = window->bottom - 4.0f;
    for (auto front = window + 1; front != shown.end(); ++front) {
        if (x > front->left && x < front->right && y > front->top && y < front->bottom) {
            return "window \"" + title + "\" is covered where the wheel would turn it";
        }
    }
    const float oldX = mouseX_;
    const float oldY = mouseY_;
    mouseX_ = x;
    mouseY_ = y;
    DrawFrame();
    // One notch of the wheel scrolls five times the font's height.
    wheel_ = -lines / 5.0f;
    DrawFrame();
    wheel_ = 0.0f;
    mouseX_ = oldX;
    mouseY_ = oldY;
    DrawFrame();
    return {};
}

std::string Ui::Resize(const std::string& title, float width, float height) {
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    const auto shown = Show();
    auto window = std::find_if(shown.begin(), shown.end(), [&](const UiWindow& w) {
        return w.kind != UiWindow::Kind::Tooltip && w.name == title;
    });
    if (window == shown.end()) {
        return "no window \"" + title + "\" is shown";
    }
    // The grip in the window's bottom right corner, dragged to where that
    // corner is to be.
    constexpr float inset = 3.0f;
    mouseX_ = window->right - inset;
    mouseY_ = window->bottom - inset;
    DrawFrame();
    mouseDown_ = true;
    DrawFrame();
    mouseX_ = window->left + width - inset;
    mouseY_ = window->top + height - inset;
    DrawFrame();
    DrawFrame();
    mouseDown_ = false;
    DrawFrame();
    mouseX_ = ParkedMouse;
    mouseY_ = ParkedMouse;
    const auto resized = Show();
    auto now = std::find_if(resized.begin(), resized.end(), [&](const UiWindow& w) {
        return w.kind != UiWindow::Kind::Tooltip && w.name == title;
    });
    if (now == resized.end() || std::fabs(now->right - now->left - width) > 1.0f ||
        std::fabs(now->bottom - now->top - height) > 1.0f) {
        return "window \"" + title + "\" did not take the size " +
               std::to_string(static_cast<int>(width)) + " by " +
               std::to_string(static_cast<int>(height));
    }
    return {};
}

} // namespace sim
