#include "ui/Idioms.h"
#include "ui/InputsFrame.h"

#include <imgui.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace inputs {
namespace {

constexpr float ColumnGap = 6.0f;
// The table's columns after the marks: the CSV's, the State ones when shown,
// then the marker's text.
constexpr size_t StateColumn = ColumnNames.size();
constexpr size_t NoteColumn = StateColumn + StateHeaders.size();
constexpr size_t TableColumns = NoteColumn + 1;

// The controls' colours, in the columns' order: the graph's five, then the
// flips, then the flags.
const std::array<ImU32, ControlColumns> CellColours = {
    IM_COL32(90, 200, 90, 255),   IM_COL32(230, 90, 90, 255),   IM_COL32(90, 160, 255, 255),
    IM_COL32(230, 200, 60, 255),  IM_COL32(200, 110, 230, 255), IM_COL32(160, 160, 160, 255),
    IM_COL32(160, 160, 160, 255), IM_COL32(240, 140, 60, 255),  IM_COL32(80, 200, 240, 255),
    IM_COL32(250, 120, 40, 255),  IM_COL32(200, 90, 40, 255),   IM_COL32(60, 140, 200, 255)};
const ImU32 LiveRowColour = IM_COL32(255, 170, 0, 70);
const ImU32 DriftRowColour = IM_COL32(255, 60, 60, 60);
const ImU32 LitText = IM_COL32(0, 0, 0, 255);
const ImU32 ScrollbarBack = IM_COL32(30, 30, 30, 200);
const ImVec4 PendingText(1.0f, 0.75f, 0.35f, 1.0f);
const ImVec4 MarkerText(1.0f, 0.9f, 0.3f, 1.0f);

// Where each column starts, from the table's left edge, and how wide it is.
struct Columns {
    std::array<float, TableColumns + 1> Start{}; // [0] the marks
    std::array<float, TableColumns + 1> Width{};
    float Right = 0.0f;
    bool State = false;
    bool Notes = false; // the run has markers

    bool Shown(size_t column) const {
        return column < StateColumn || (column < NoteColumn ? State : Notes);
    }
    // The column (as in Start, 0 the marks) at x from the table's left edge.
    std::optional<size_t> At(float x) const {
        for (size_t c = 0; c <= TableColumns; ++c) {
            if (Shown(c == 0 ? 0 : c - 1) && x >= Start[c] && x < Start[c] + Width[c] + ColumnGap) {
                return c;
            }
        }
        return std::nullopt;
    }
};

const char* HeaderOf(size_t column) {
    return column < StateColumn  ? ColumnHeaders[column]
           : column < NoteColumn ? StateHeaders[column - StateColumn]
                                 : "marker";
}

const char* NameOf(size_t column) {
    return column < StateColumn  ? ColumnNames[column]
           : column < NoteColumn ? StateNames[column - StateColumn]
                                 : "the frame's marker";
}

Columns LayOut(uint64_t rows, float otherWidth, bool state, bool notes) {
    const std::string widestFrame(std::to_string(rows).size(), '0');
    Columns columns;
    columns.State = state;
    columns.Notes = notes;
    float x = 0.0f;
    columns.Width[0] = ImGui::CalcTextSize(">TDMB+").x;
    x += columns.Width[0] + ColumnGap;
    for (size_t c = 0; c < TableColumns; ++c) {
        const bool shown = columns.Shown(c);
        const char* widest = c == 0                ? widestFrame.c_str()
                             : c < 8               ? "-0.33"
                             : c < StateColumn - 1 ? "1"
                             : c < StateColumn     ? ""
                             : c < NoteColumn      ? "-00000"
                                                   : "";
        float width = std::max(ImGui::CalcTextSize(HeaderOf(c)).x, ImGui::CalcTextSize(widest).x);
        if (c == StateColumn - 1) {
            width = std::max(width, otherWidth);
        }
        columns.Start[c + 1] = x;
        columns.Width[c + 1] = width;
        if (shown) {
            x += width + ColumnGap;
        }
    }
    columns.Right = x;
    return columns;
}

// The table's geometry this frame: its window, its rows and its scrollbar.
struct TableView {
    ImVec2 Pos; // the window's top left on the screen
    ImVec2 Size;
    float ScrollX = 0.0f;
    float RowHeight = 0.0f;
    float RowsTop = 0.0f; // screen y of the first row shown
    uint64_t Shown = 0;   // rows that fit
    ImVec2 BarMin, BarMax;

    std::optional<uint64_t> RowAt(float y, uint64_t top, uint64_t rows) const {
        if (y < RowsTop) {
            return std::nullopt;
        }
        const auto k = static_cast<uint64_t>((y - RowsTop) / RowHeight);
        return k < Shown && top + k < rows ? std::optional<uint64_t>(top + k) : std::nullopt;
    }
    bool OverBar(ImVec2 p) const {
        return p.x >= BarMin.x && p.x < BarMax.x && p.y >= BarMin.y && p.y < BarMax.y;
    }
};

void TextAt(float x, float y, const char* text) {
    ImGui::SetCursorPos(ImVec2(x, y));
    ImGui::TextUnformatted(text);
}

// A control's cell: a flag lit in its colour when set, an analog value as a
// bar from the middle with its number.
void DrawControlCell(ImDrawList* draw, ImVec2 at, float width, float height, size_t control,
                     float value, const std::string& text) {
    const ImU32 colour = CellColours[control];
    if (IsFlagControl(*ControlOfColumn(control + FirstControlColumn))) {
        if (value != 0.0f) {
            draw->AddRectFilled(ImVec2(at.x - 1.0f, at.y + 1.0f),
                                ImVec2(at.x + width + 1.0f, at.y + height - 1.0f), colour);
            draw->AddText(at, LitText, text.c_str());
            return;
        }
    } else if (!std::isnan(value) && value != 0.0f) {
        const float middle = at.x + width * 0.5f;
        const float end = middle + std::clamp(value, -1.0f, 1.0f) * width * 0.5f;
        draw->AddRectFilled(ImVec2(std::min(middle, end), at.y + height - 4.0f),
                            ImVec2(std::max(middle, end), at.y + height - 1.0f), colour);
    }
    draw->AddText(at, ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
}

std::string RowMarks(const Frame& frame, const Row& row, uint64_t rowIndex) {
    std::string marks = frame.LiveRow == rowIndex ? ">" : "";
    if (frame.TeleportAt(row)) {
        marks += 'T';
    }
    if (row.Kind == RowKind::Run && frame.DriftFrame == row.Frame) {
        marks += 'D';
    }
    if (frame.MarkerOf(row)) {
        marks += 'M';
    }
    if (frame.DiffersFromCompared(row)) {
        marks += 'B';
    }
    if (row.Kind == RowKind::Pending || row.Kind == RowKind::Live) {
        marks += '+';
    } else if (row.Kind == RowKind::Replaced) {
        marks += '-';
    }
    return marks;
}

void DrawRow(const Frame& frame, const InputsTabState& view, const Columns& columns,
             const TableView& table, uint64_t rowIndex, float y) {
    const Row row = frame.Layout.At(rowIndex);
    const bool readOnly = row.Kind == RowKind::Pending || row.Kind == RowKind::Live;
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 at(table.Pos.x - table.ScrollX, table.Pos.y + y);
    const ImVec2 end(at.x + columns.Right, at.y + table.RowHeight);
    if (frame.LiveRow == rowIndex) {
        draw->AddRectFilled(at, end, LiveRowColour);
    } else if (row.Kind == RowKind::Run && frame.DriftFrame == row.Frame) {
        draw->AddRectFilled(at, end, DriftRowColour);
    }
    if (!readOnly && view.Selected.Holds(row.Frame)) {
        draw->AddRectFilled(at, end, ImGui::GetColorU32(ImGuiCol_Header));
    }
    if (readOnly) {
        ImGui::PushStyleColor(ImGuiCol_Text, PendingText);
    } else if (row.Kind == RowKind::Replaced) {
        ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]);
    }
    TextAt(columns.Start[0], y, RowMarks(frame, row, rowIndex).c_str());
    const VehicleInput* input = frame.InputAt(row);
    if (input == nullptr) {
        TextAt(columns.Start[1], y, std::to_string(row.Frame).c_str());
    } else {
        VehicleInput shown = *input;
        if (view.Painting && row.Kind == RowKind::Run && view.Painting->Holds(row.Frame)) {
            shown = WithControl(shown, view.Painting->Control, view.Painting->Value);
        }
        const auto cells = Cells(row.Frame, shown);
        TextAt(columns.Start[1], y, cells[0].c_str());
        for (size_t c = 0; c < ControlColumns; ++c) {
            const size_t column = c + FirstControlColumn;
            const ImVec2 cell(at.x + columns.Start[column + 1], at.y);
            DrawControlCell(draw, cell, columns.Width[column + 1], table.RowHeight, c,
                            ControlValue(shown, *ControlOfColumn(column)), cells[column]);
        }
        TextAt(columns.Start[StateColumn], y, cells[StateColumn - 1].c_str());
    }
    if (columns.State) {
        const auto state = StateCells(frame.TraceAt(row), frame.BoostAt(row));
        for (size_t s = 0; s < state.size(); ++s) {
            if (!state[s].empty()) {
                TextAt(columns.Start[StateColumn + s + 1], y, state[s].c_str());
            }
        }
    }
    if (const Marker* marker = frame.MarkerOf(row)) {
        ImGui::PushStyleColor(ImGuiCol_Text, MarkerText);
        TextAt(columns.Start[NoteColumn + 1], y, marker->Text.c_str());
        ImGui::PopStyleColor();
    }
    if (row.Kind != RowKind::Run) {
        ImGui::PopStyleColor();
    }
}

void DrawHeader(const Columns& columns) {
    TextAt(columns.Start[0], 0.0f, "?");
    if (ImGui::IsItemHovered()) {
        ImGui::SetTooltip("> now, T teleport, D drifted here, M marker, B not as in the "
                          "compared branch, + new (not applied), - replaced by Update");
    }
    for (size_t c = 0; c < TableColumns; ++c) {
        if (!columns.Shown(c)) {
            continue;
        }
        TextAt(columns.Start[c + 1], 0.0f, HeaderOf(c));
        if (ImGui::IsItemHovered()) {
            ImGui::SetTooltip("%s", NameOf(c));
        }
    }
}

void DrawScrollbar(const TableView& table, uint64_t top, uint64_t rows) {
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(table.BarMin, table.BarMax, ScrollbarBack);
    if (rows <= table.Shown) {
        return;
    }
    const float track = table.BarMax.y - table.BarMin.y;
    const float grab = std::max(track * static_cast<float>(table.Shown) / rows, 12.0f);
    const float at =
        (track - grab) * static_cast<float>(top) / static_cast<float>(rows - table.Shown);
    draw->AddRectFilled(ImVec2(table.BarMin.x + 2.0f, table.BarMin.y + at),
                        ImVec2(table.BarMax.x - 2.0f, table.BarMin.y + at + grab),
                        ImGui::GetColorU32(ImGuiCol_ScrollbarGrab), 3.0f);
}

uint64_t TopFromBar(const TableView& table, float y, uint64_t rows) {
    const float track = std::max(table.BarMax.y - table.BarMin.y, 1.0f);
    const float part = std::clamp((y - table.BarMin.y) / track, 0.0f, 1.0f);
    const auto row = static_cast<int64_t>(part * static_cast<float>(rows));
    return ClampTop(row - static_cast<int64_t>(table.Shown / 2), table.Shown, rows);
}

// The widest other-flags text of the rows in view: they are rarely set.
float OtherFlagsWidth(const Frame& frame, uint64_t top, uint64_t count) {
    float width = 0.0f;
    for (uint64_t r = top; r < std::min(top + count, frame.Layout.Rows()); ++r) {
        if (const VehicleInput* input = frame.InputAt(frame.Layout.At(r))) {
            width = std::max(width, ImGui::CalcTextSize(OtherFlagsText(input->Flags).c_str()).x);
        }
    }
    return width;
}

// The exact value of an analog cell whose short text rounds it.
void ExactValueTooltip(const Frame& frame, const TableView& table, const Columns& columns,
                       uint64_t top) {
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    const auto r = table.RowAt(mouse.y, top, frame.Layout.Rows());
    const auto column = columns.At(mouse.x - table.Pos.x + table.ScrollX);
    const std::optional<FrameControl> control =
        r && column && *column > 0 ? ControlOfColumn(*column - 1) : std::nullopt;
    if (!control || IsFlagControl(*control)) {
        return;
    }
    const Row row = frame.Layout.At(*r);
    const VehicleInput* input = frame.InputAt(row);
    if (input == nullptr) {
        return;
    }
    const float value = ControlValue(*input, *control);
    const std::string exact = FloatText(value);
    if (exact != ShortFloatText(value)) {
        ImGui::SetTooltip("%s at frame %llu: %s", std::string(ControlName(*control)).c_str(),
                          static_cast<unsigned long long>(row.Frame), exact.c_str());
    }
}

// A press on a control's cell begins a paint, or with Ctrl (a double-click
// on an analog one) the typing of its value; elsewhere on a row it selects.
void Press(const Frame& frame, InputsTabState& view, const Row& row, std::optional<size_t> column) {
    const ImGuiIO& io = ImGui::GetIO();
    view.Selected.Select(row.Frame, io.KeyShift);
    const std::optional<FrameControl> control =
        column && *column > 0 ? ControlOfColumn(*column - 1) : std::nullopt;
    if (!control || row.Kind != RowKind::Run || frame.Live || io.KeyShift) {
        return;
    }
    const float value = ControlValue(frame.Frames.Inputs[row.Index], *control);
    const bool flag = IsFlagControl(*control);
    if (io.KeyCtrl || (!flag && ImGui::IsMouseDoubleClicked(0))) {
        view.Typing = Paint{row.Frame, row.Frame, *control, value};
        view.TypedText = FloatText(value);
        ImGui::OpenPopup("Value##Gyrologcell");
        return;
    }
    view.Painting =
        Paint{row.Frame, row.Frame, *control, flag ? (value != 0.0f ? 0.0f : 1.0f) : value};
}

// A paint let go: one edit of every frame it crossed. An analog cell only
// clicked changes nothing.
void EndPaint(InputsTabState& view, Request& request) {
    const Paint paint = *view.Painting;
    view.Painting.reset();
    if (!IsFlagControl(paint.Control) && paint.From == paint.To) {
        return;
    }
    request.Edit = [paint](const TasData& run) {
        return SetControl(run, std::min(paint.From, paint.To), std::max(paint.From, paint.To),
                          paint.Control, paint.Value);
    };
}

void DrawTypingPopup(InputsTabState& view, Request& request) {
    if (!ImGui::BeginPopup("Value##Gyrologcell")) {
        view.Typing.reset();
        return;
    }
    const Paint typing = *view.Typing;
    ImGui::Text("%s at frame %llu", std::string(ControlName(typing.Control)).c_str(),
                static_cast<unsigned long long>(typing.From));
    if (ImGui::IsWindowAppearing()) {
        ImGui::SetKeyboardFocusHere();
    }
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("-0.000000000").x);
    const bool entered =
        ui::InputText("##Gyrologcellvalue", view.TypedText,
                      ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_AutoSelectAll |
                          ImGuiInputTextFlags_CharsScientific);
    ImGui::SameLine(0, -1);
    if (entered || ImGui::Button("Set##Gyrologcell")) {
        float value = 0.0f;
        const char* text = view.TypedText.data();
        const auto [end, error] = std::from_chars(text, text + view.TypedText.size(), value);
        if (error == std::errc() && end == text + view.TypedText.size()) {
            request.Edit = [typing, value](const TasData& run) {
                return SetControl(run, typing.From, typing.From, typing.Control, value);
            };
            view.Typing.reset();
            ImGui::CloseCurrentPopup();
        }
    }
    ImGui::EndPopup();
}

} // namespace

// The table: its own vertical scrolling, so that a scroll asked for (Go to
// frame, Follow, a key) shows in the frame it is asked in; Dear ImGui
// scrolls it sideways.
void DrawTable(const Frame& frame, InputsTabState& view, Request& request) {
    if (frame.Layout.Pending > 0 && !frame.Layout.Recording) {
        ImGui::TextColored(PendingText, "+ new, not applied");
        ImGui::SameLine(0, -1);
        ImGui::TextDisabled("- replaced by Update");
    }
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    const bool open = ImGui::BeginChild("Inputs##Gyrolog", ImVec2(0, 0), false,
                                        ImGuiWindowFlags_HorizontalScrollbar |
                                            ImGuiWindowFlags_NoScrollWithMouse);
    ImGui::PopStyleVar();
    if (!open) {
        ImGui::EndChild();
        return;
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImGuiIO& io = ImGui::GetIO();
    const uint64_t rows = frame.Layout.Rows();
    TableView table;
    table.Pos = ImGui::GetWindowPos();
    table.Size = ImGui::GetWindowSize();
    table.ScrollX = ImGui::GetScrollX();
    table.RowHeight = ImGui::GetTextLineHeightWithSpacing();
    const float barBelow = ImGui::GetScrollMaxX() > 0.0f ? style.ScrollbarSize : 0.0f;
    const float rowsHeight = table.Size.y - barBelow - table.RowHeight;
    table.Shown =
        rowsHeight > table.RowHeight ? static_cast<uint64_t>(rowsHeight / table.RowHeight) : 1;
    table.RowsTop = table.Pos.y + table.RowHeight;
    table.BarMin = ImVec2(table.Pos.x + table.Size.x - style.ScrollbarSize, table.RowsTop);
    table.BarMax = ImVec2(table.Pos.x + table.Size.x, table.Pos.y + table.Size.y - barBelow);

    // Presses on the rows and the scroll bar are the table's: without an
    // item under them, a drag would move the page's window.
    ImGui::SetCursorPos(ImVec2(table.ScrollX, table.RowHeight));
    ImGui::InvisibleButton("##Gyrologrows",
                           ImVec2(table.Size.x, table.RowHeight * static_cast<float>(table.Shown)));
    uint64_t top = ClampTop(static_cast<int64_t>(view.TopRow), table.Shown, rows);
    const bool hovered = ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem);
    if (hovered && io.MouseWheel != 0.0f) {
        const float lines = -io.MouseWheel * 5.0f * ImGui::GetFontSize() / table.RowHeight;
        top = ClampTop(static_cast<int64_t>(top) + static_cast<int64_t>(std::lround(lines)),
                       table.Shown, rows);
    }
    if (view.DraggingScrollbar) {
        view.DraggingScrollbar = ImGui::IsMouseDown(0);
        top = TopFromBar(table, io.MousePos.y, rows);
    }
    if (ImGui::IsWindowFocused()) {
        TakeTableKeys(frame, view, request, table.Shown);
    }
    if (view.ScrollToRow) {
        top = TopShowing(top, std::min(*view.ScrollToRow, rows > 0 ? rows - 1 : 0), table.Shown,
                         rows);
        view.ScrollToRow.reset();
    } else if (view.Follow && frame.FollowRow) {
        top = TopShowing(top, *frame.FollowRow, table.Shown, rows);
    }
    view.TopRow = top;
    view.ViewFirstRow = top;
    view.ViewLastRow = rows > 0 ? std::min(top + table.Shown, rows) - 1 : 0;

    const Columns columns = LayOut(rows, OtherFlagsWidth(frame, top, table.Shown), view.ShowState,
                                   !frame.Frames.Markers.empty());
    for (uint64_t k = 0; k < table.Shown && top + k < rows; ++k) {
        DrawRow(frame, view, columns, table, top + k, table.RowHeight * static_cast<float>(k + 1));
    }
    DrawHeader(columns);
    ImGui::SetCursorPos(ImVec2(columns.Right, 0.0f)); // the width Dear ImGui scrolls over
    ImGui::Dummy(ImVec2(1.0f, 1.0f));
    DrawScrollbar(table, top, rows);

    const ImVec2 mouse = io.MousePos;
    if (hovered && ImGui::IsMouseClicked(0)) {
        if (table.OverBar(mouse)) {
            view.DraggingScrollbar = true;
        } else if (const auto r = table.RowAt(mouse.y, top, rows)) {
            const Row row = frame.Layout.At(*r);
            if (row.Kind != RowKind::Pending && row.Kind != RowKind::Live) {
                Press(frame, view, row, columns.At(mouse.x - table.Pos.x + table.ScrollX));
            }
        }
    }
    if (hovered && !view.Painting) {
        ExactValueTooltip(frame, table, columns, top);
    }
    if (view.Painting) {
        const auto r = table.RowAt(std::clamp(mouse.y, table.RowsTop,
                                              table.RowsTop + table.RowHeight * table.Shown - 1.0f),
                                   top, rows);
        if (r && frame.Layout.At(*r).Kind == RowKind::Run) {
            view.Painting->To = frame.Layout.At(*r).Frame;
        }
        if (!ImGui::IsMouseDown(0)) {
            EndPaint(view, request);
        }
    }
    DrawTypingPopup(view, request);
    ImGui::EndChild();
}

} // namespace inputs
