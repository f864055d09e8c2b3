#include "Ui.h"
#include "Host.h"

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

// A run of glyphs being gathered into one text.
struct Run {
    UiText text;
    float penEnd; // where the next glyph of this text would start
};

bool StartsWith(const char* text, const char* prefix) {
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

Ui::Ui(Host& host) : host_(host) {
    render_.Run([this] {
        context_ = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.LogFilename = nullptr;
        for (int key = 0; key < ImGuiKey_COUNT; ++key) {
            io.KeyMap[key] = key;
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
    io.KeyCtrl = ctrl_;
    std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
    for (int key : keysDown_) {
        io.KeysDown[key] = true;
    }
    for (unsigned int c : characters_) {
        io.AddInputCharacter(c);
    }
    characters_.clear();

    ImGui::NewFrame();
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
                ImGui::ErrorCheckEndWindowRecover(nullptr);
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
        if (glyph.Visible) {
            glyphs[{glyph.U0, glyph.V0}] = &glyph;
        }
    }
    const float space = font->FindGlyph(' ')->AdvanceX;

    std::vector<UiWindow> windows;
    ImDrawData* data = ImGui::GetDrawData();
    auto* page = host_.SettingsWindow();
    const std::string pageName = page ? page->GetPluginName() : std::string();
    for (int l = 0; data && l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        const char* owner = list->_OwnerName;
        if (!owner || StartsWith(owner, "##Foreground")) {
            continue;
        }
        UiWindow window;
        window.name = owner;
        window.kind = page && window.name == pageName  ? UiWindow::Kind::Plugin
                      : StartsWith(owner, "##Tooltip") ? UiWindow::Kind::Tooltip
                                                       : UiWindow::Kind::Popup;
        std::vector<UiText> texts;
        std::vector<Run> runs;
        const auto& v = list->VtxBuffer;
        for (int i = 0; i + 3 < v.Size;) {
            auto found = glyphs.find({v[i].uv.x, v[i].uv.y});
            if (found == glyphs.end() || v[i + 2].uv.x != found->second->U1 ||
                v[i + 2].uv.y != found->second->V1 || v[i + 1].uv.x != found->second->U1 ||
                v[i + 3].uv.y != found->second->V1) {
                ++i;
                continue;
            }
            const ImFontGlyph& glyph = *found->second;
            const float pen = v[i].pos.x - glyph.X0;
            const float top = v[i].pos.y - glyph.Y0;
            const bool dim = ((v[i].col >> IM_COL32_A_SHIFT) & 0xFF) < DisabledAlpha;
            char utf8[5];
            const std::string character = ImTextCharToUtf8(utf8, glyph.Codepoint);
            bool joined = false;
            for (auto& run : runs) {
                if (std::fabs(run.text.top - top) > 0.5f || run.text.disabled != dim) {
                    continue;
                }
                const float gap = pen - run.penEnd;
                const float spaces = std::round(gap / space);
                if (std::fabs(gap) < 0.05f ||
                    (spaces >= 1 && spaces <= 3 && std::fabs(gap - spaces * space) < 0.05f)) {
                    run.text.text.append(static_cast<size_t>(std::max(0.0f, spaces)), ' ');
                    run.text.text += character;
                    run.text.right = v[i + 2].pos.x;
                    run.penEnd = pen + glyph.AdvanceX;
                    joined = true;
                    break;
                }
            }
            if (!joined) {
                runs.push_back(Run{
                    UiText{character, v[i].pos.x, top, v[i + 2].pos.x, top + font->FontSize, dim},
                    pen + glyph.AdvanceX});
            }
            i += 4;
        }
        for (auto& run : runs) {
            texts.push_back(std::move(run.text));
        }
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
    return windows;
}

std::vector<std::string> Ui::Lines(const std::vector<UiWindow>& windows) {
    std::vector<std::string> lines;
    for (auto kind : {UiWindow::Kind::Plugin, UiWindow::Kind::Popup, UiWindow::Kind::Tooltip}) {
        for (const auto& window : windows) {
            if (window.kind != kind) {
                continue;
            }
            for (const auto& row : window.rows) {
                std::string line;
                for (const auto& text : row) {
                    if (kind == UiWindow::Kind::Tooltip) {
                        line += (line.empty() ? "" : " ") + text.text;
                        continue;
                    }
                    line += (line.empty() ? "" : " | ") + text.text;
                    if (text.disabled) {
                        line += " [disabled]";
                    }
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
    shown_ = Show();
    for (auto w = shown_.rbegin(); w != shown_.rend(); ++w) {
        if (w->kind == UiWindow::Kind::Tooltip) {
            continue;
        }
        int seen = 0;
        for (const auto& row : w->rows) {
            for (const auto& candidate : row) {
                if (candidate.text == text && seen++ == index) {
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
    return {};
}

std::string Ui::Hover(const std::string& text, int index) {
    std::string error;
    const UiText* found = Find(text, index, nullptr, error);
    if (!found) {
        return error;
    }
    mouseX_ = (found->left + found->right) * 0.5f;
    mouseY_ = (found->top + found->bottom) * 0.5f;
    DrawFrame();
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
    PressKey(ImGuiKey_A, true);
    return {};
}

void Ui::PressKey(int key, bool ctrl) {
    const bool wasCtrl = ctrl_;
    ctrl_ = ctrl_ || ctrl;
    keysDown_.push_back(key);
    DrawFrame();
    keysDown_.clear();
    DrawFrame();
    ctrl_ = wasCtrl;
}

void Ui::Type(const std::string& characters) {
    for (unsigned char c : characters) {
        characters_.push_back(c);
    }
    DrawFrame();
}

std::string Ui::Key(const std::string& name) {
    static const std::pair<const char*, int> keys[] = {{"enter", ImGuiKey_Enter},
                                                       {"escape", ImGuiKey_Escape},
                                                       {"backspace", ImGuiKey_Backspace},
                                                       {"tab", ImGuiKey_Tab}};
    for (auto [keyName, key] : keys) {
        if (name == keyName) {
            PressKey(key, false);
            return {};
        }
    }
    return "unknown key '" + name + "'";
}

void Ui::HoldCtrl(bool held) {
    ctrl_ = held;
    DrawFrame();
}

} // namespace sim
