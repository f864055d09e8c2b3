#pragma once

#include "RenderThread.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ImGuiContext;

namespace BakkesMod::Plugin {
class PluginSettingsWindow;
}

namespace sim {

class Host;
struct GameFrame;
struct FieldScene;

// One text as a window shows it, in screen pixels, with the state of the
// widget it labels where the drawing shows one.
struct UiText {
    std::string text;
    float left, top, right, bottom;
    bool disabled = false;       // drawn at reduced alpha
    std::optional<bool> checked; // the label of a checkbox: whether its mark is drawn
    std::optional<bool> open;    // the label of a tree node: whether its arrow points down
    std::optional<float> slider; // the value of a slider: its grab's place, 0 to 1
    bool selected = false;       // the first text of a row drawn in the selected look
    std::string hidden;          // why a player cannot see it (clipped, covered); empty if seen
};

struct UiWindow {
    enum class Kind { Plugin, Popup, Tooltip };
    Kind kind;
    std::string name;                      // the title as shown, without its "##" part
    float left, top, right, bottom;        // the window's frame on the screen
    std::vector<std::vector<UiText>> rows; // top to bottom, each left to right
};

// The host's Dear ImGui side: it owns the context the plugin draws into,
// draws the plugin window each frame and uses it the way a person does. It
// reads what is shown from the glyph quads of the draw lists and acts with
// mouse and keyboard events at the places where things are shown.
//
// Everything that touches the context (frames, reading the draw lists,
// screenshots) runs on the render thread. Called from the game thread, each
// frame first runs the frame's game side there (the Execute queue and the
// canvas drawables) and then waits for the render thread to draw it.
class Ui {
public:
    explicit Ui(Host& host);
    ~Ui();
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // Hands the context to the plugin's page, on the render thread.
    void HandContextTo(BakkesMod::Plugin::PluginSettingsWindow& page);

    // Runs program on the render thread, free of the game thread, at least
    // once and then over and over until StopFreeRunning. Its frames show the canvas the game
    // thread drew last and leave the Execute queue to the game thread.
    // Meanwhile only StopFreeRunning may be called from another thread.
    void StartFreeRunning(std::function<void(Ui&)> program);
    void StopFreeRunning();

    void Frame(int count = 1);
    // Draws a frame and returns its windows, back to front.
    std::vector<UiWindow> Show();

    // Each returns an empty text on success, otherwise what went wrong.
    std::string Click(const std::string& text, int index = 0);
    std::string Hover(const std::string& text, int index = 0);
    std::string Edit(const std::string& label, int index = 0);
    // Types UTF-8 text as characters; TypeCodepoints types them by number.
    void Type(const std::string& text);
    void TypeCodepoints(const std::vector<unsigned int>& codepoints);
    // Presses and releases a named key (enter, up, delete, ...) or a letter
    // a to z, with Ctrl and Shift as held; a letter types no character.
    std::string Key(const std::string& name);
    void HoldCtrl(bool held);
    void HoldShift(bool held);
    // Clicks the cell in the column named column of the Inputs table's row
    // that shows frame: the column's header reads column or shows it as its
    // tooltip. Ctrl and Shift as held.
    std::string ClickCell(const std::string& frame, const std::string& column);
    // Presses the mouse on the cell of frame from, moves it over each row
    // between, a frame each, to the cell of frame to and releases it there.
    std::string Paint(const std::string& from, const std::string& to, const std::string& column);
    // Turns the mouse wheel over the window titled title: lines > 0 scroll
    // towards the end, in steps of the font's height.
    std::string Scroll(const std::string& title, float lines);
    // Drags the bottom right corner of the window titled title until the
    // window is width by height.
    std::string Resize(const std::string& title, float width, float height);
    std::string Screenshot(const std::filesystem::path& file);

    // The middle of a cell of the Inputs table and the row of the table's window it is in.
    struct TableCell {
        float x, y;
        size_t row;
    };

    // The lines of sim_ui_show for what Show returned.
    static std::vector<std::string> Lines(const std::vector<UiWindow>& windows);

private:
    void DrawFrame();
    void Draw(const GameFrame& game);
    static void DrawGame(const FieldScene& field);
    std::vector<UiWindow> Read();
    std::vector<UiWindow> ReadHere() const;
    const UiText* Find(const std::string& text, int index, const UiWindow** window,
                       std::string& error);
    void Press(float x, float y);
    // The middles of cells of the Inputs table, with the table row each is in,
    // and the middle of every row of the table's window, its header first.
    struct TableCells {
        std::vector<TableCell> cells;
        std::vector<float> rowMiddles;
    };
    std::string FindCells(const std::vector<std::string>& frames, const std::string& column,
                          TableCells& found);
    std::vector<std::string> TooltipsOf(const std::vector<UiText>& texts);
    float ItemSpacing();
    // Presses and releases the key of that native code, with Ctrl if asked or held.
    void PressKey(int nativeKey, bool ctrl);

    Host& host_;
    ImGuiContext* context_ = nullptr;
    float mouseX_ = -1000.0f; // parked: pointing at nothing
    float mouseY_ = -1000.0f;
    bool mouseDown_ = false;
    bool ctrl_ = false;
    bool shift_ = false;
    float wheel_ = 0.0f;
    std::vector<int> keysDown_;
    std::vector<unsigned int> characters_;
    std::vector<UiWindow> shown_; // what Find last looked at; its results point here
    int framesDrawn_ = 0;
    std::atomic<bool> freeRunning_ = false;
    RenderThread render_; // last: it ends before the members its jobs use
};

} // namespace sim
