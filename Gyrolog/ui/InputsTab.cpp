#include "Guarded.h"
#include "Gyrolog.h"
#include "ui/InputsView.h"

#include <imgui.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

// The graph shows this many frames, about two and a half seconds of play.
constexpr uint64_t GraphFrames = 300;
constexpr float GraphHeight = 80.0f;
constexpr float FlagLaneHeight = 4.0f;

const std::array<ImU32, inputs::GraphedControls.size()> ControlColours = {
    IM_COL32(90, 200, 90, 255),  // throttle
    IM_COL32(230, 90, 90, 255),  // steer
    IM_COL32(90, 160, 255, 255), // pitch
    IM_COL32(230, 200, 60, 255), // yaw
    IM_COL32(200, 110, 230, 255) // roll
};
constexpr const char* GraphedNames[] = {"throttle", "steer", "pitch", "yaw", "roll"};
const ImU32 FlagColour = IM_COL32(200, 200, 200, 255);
const ImU32 LiveColour = IM_COL32(255, 170, 0, 255);
const ImU32 LiveRowColour = IM_COL32(255, 170, 0, 70);
const ImU32 GraphBackground = IM_COL32(20, 24, 32, 255);
const ImU32 GraphSelection = IM_COL32(255, 255, 255, 40);
const ImVec4 PendingText(1.0f, 0.75f, 0.35f, 1.0f);

// Where each column starts, from the table's left edge: the marks, then the
// CSV's columns, each as wide as its name or its widest usual value.
struct ColumnLayout {
    std::array<float, inputs::ColumnNames.size() + 1> Start{};
    float Width = 0.0f;
};

ColumnLayout LayOutColumns(uint64_t rows) {
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    const std::string widestFrame(std::to_string(rows).size(), '0');
    ColumnLayout layout;
    float x = 0.0f;
    layout.Start[0] = x;
    x += ImGui::CalcTextSize(">T+").x + spacing;
    for (size_t c = 0; c < inputs::ColumnNames.size(); ++c) {
        layout.Start[c + 1] = x;
        float width = ImGui::CalcTextSize(inputs::ColumnNames[c]).x;
        const char* widest = c == 0                                ? widestFrame.c_str()
                             : c < 8                               ? "-0.333333343"
                             : c == inputs::ColumnNames.size() - 1 ? "0xFFFFFFE0"
                                                                   : "0";
        width = std::max(width, ImGui::CalcTextSize(widest).x);
        x += width + spacing;
    }
    layout.Width = x;
    return layout;
}

bool Contains(const std::vector<uint64_t>& ascending, uint64_t frame) {
    return std::binary_search(ascending.begin(), ascending.end(), frame);
}

float Plotted(float value) {
    return std::isnan(value) ? 0.0f : std::clamp(value, -1.0f, 1.0f);
}

} // namespace

// Drawn on the render thread while the game thread may replay or record the
// run: the run's arrays are read under LoadedTasLock, which the game thread
// holds whenever it changes them, and only the rows in view and the graph's
// few hundred frames are read. The tick itself only reads Data.Inputs. No
// host call is made under the lock: an edit clicked is handed over after it.
void Gyrolog::RenderInputsTab() {
    std::unique_lock lock(LoadedTasLock);
    const Tas& tas = LoadedTas;
    if (tas.Data.Hitbox == HitboxType::Other) {
        ImGui::TextUnformatted("Load/Create a TAS to get going!");
        return;
    }
    // A save in progress holds the run's arrays: they are read where it holds them.
    const TasData& frames = LentRun ? *LentRun : tas.Data;
    auto& view = InputsTab;
    const TasState state = tas.State;
    const bool live = state != TasState::Stopped;
    // The pending frames stand still only while the run is stopped.
    const bool pendingShown = state == TasState::Stopped && !tas.InputsApplied;
    const inputs::RowLayout layout(frames.Inputs.size(), pendingShown ? tas.CurrentFrame : 0,
                                   pendingShown ? tas.PendingInputs.size() : 0);
    const uint64_t rows = layout.Rows();
    view.Selected.Fit(layout.RunFrames);
    const auto inputAt = [&](const inputs::Row& row) -> const VehicleInput& {
        return row.Kind == inputs::RowKind::Pending ? tas.PendingInputs[row.Index]
                                                    : frames.Inputs[row.Index];
    };
    // While live no pending rows are shown: a row is the frame it shows.
    std::optional<uint64_t> liveRow;   // the row of the frame the car is at
    std::optional<uint64_t> followRow; // kept in view: that row, or the last one
    if (live && rows > 0) {
        const uint64_t frame = tas.LiveFrame;
        followRow = std::min(frame, rows - 1);
        if (frame < rows) {
            liveRow = frame;
        }
    }

    ImGui::Checkbox("Follow##Gyrolog", &view.Follow);
    ImGui::SameLine(0, -1);
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("0000000").x +
                            2 * ImGui::GetStyle().FramePadding.x);
    if (ImGui::InputInt("Go to frame##Gyrolog", &view.GoToFrame, 0, 0,
                        ImGuiInputTextFlags_EnterReturnsTrue) &&
        layout.RunFrames > 0) {
        const uint64_t frame = std::min<uint64_t>(
            static_cast<uint64_t>(std::max(view.GoToFrame, 0)), layout.RunFrames - 1);
        view.GoToFrame = static_cast<int32_t>(frame);
        view.Selected.Select(frame, false);
        view.ScrollToRow = layout.RowOfRunFrame(frame);
        view.Follow = view.Follow && !live; // the frame asked for stays in view
    }
    ImGui::TextUnformatted(view.Selected.Describe().c_str());
    std::function<FrameEdit(const TasData&)> edit = RenderFrameEditBar(frames, live);

    // The graph: the five analog controls from -1 (bottom) to 1 (top) over
    // the frames around the selection, the current frame or the table's view,
    // the named flags as bars beneath.
    uint64_t center = (view.ViewFirstRow + view.ViewLastRow) / 2;
    if (view.Follow && followRow) {
        center = *followRow;
    } else if (view.Selected.Any()) {
        center = layout.RowOfRunFrame(view.Selected.First +
                                      (view.Selected.Last - view.Selected.First) / 2);
    }
    const inputs::RowWindow window = inputs::WindowAround(center, rows, GraphFrames);
    {
        ImDrawList* draw = ImGui::GetWindowDrawList();
        const ImVec2 origin = ImGui::GetCursorScreenPos();
        const float width = std::max(ImGui::GetContentRegionAvail().x, 50.0f);
        const float lanes = inputs::NamedFlags.size() * (FlagLaneHeight + 1.0f);
        ImGui::Dummy(ImVec2(width, GraphHeight + 2.0f + lanes));
        uint64_t firstFrame = UINT64_MAX;
        uint64_t lastFrame = 0;
        draw->AddRectFilled(origin, ImVec2(origin.x + width, origin.y + GraphHeight),
                            GraphBackground);
        const float middle = origin.y + GraphHeight * 0.5f;
        draw->AddLine(ImVec2(origin.x, middle), ImVec2(origin.x + width, middle),
                      IM_COL32(90, 90, 90, 255));
        if (!window.Empty()) {
            const uint64_t count = window.Last - window.First + 1;
            const float step = width / static_cast<float>(count);
            auto xOf = [&](uint64_t row) {
                return origin.x + (static_cast<float>(row - window.First) + 0.5f) * step;
            };
            std::vector<VehicleInput> shown;
            shown.reserve(count);
            for (uint64_t row = window.First; row <= window.Last; ++row) {
                const inputs::Row at = layout.At(row);
                shown.push_back(inputAt(at));
                firstFrame = std::min(firstFrame, at.Frame);
                lastFrame = std::max(lastFrame, at.Frame);
            }
            if (view.Selected.Any()) {
                const uint64_t first =
                    std::max(layout.RowOfRunFrame(view.Selected.First), window.First);
                const uint64_t last =
                    std::min(layout.RowOfRunFrame(view.Selected.Last), window.Last);
                if (first <= last) {
                    draw->AddRectFilled(ImVec2(xOf(first) - step * 0.5f, origin.y),
                                        ImVec2(xOf(last) + step * 0.5f, origin.y + GraphHeight),
                                        GraphSelection);
                }
            }
            std::vector<ImVec2> points(count);
            for (size_t k = 0; k < inputs::GraphedControls.size() && count >= 2; ++k) {
                for (uint64_t i = 0; i < count; ++i) {
                    points[i] = ImVec2(xOf(window.First + i),
                                       middle - Plotted(shown[i].*inputs::GraphedControls[k]) *
                                                    (GraphHeight * 0.5f - 2.0f));
                }
                draw->AddPolyline(points.data(), static_cast<int>(count), ControlColours[k], 0,
                                  1.0f);
            }
            for (size_t lane = 0; lane < inputs::NamedFlags.size(); ++lane) {
                const float top = origin.y + GraphHeight + 2.0f + lane * (FlagLaneHeight + 1.0f);
                for (uint64_t i = 0; i < count;) {
                    if (!(shown[i].Flags & inputs::NamedFlags[lane])) {
                        ++i;
                        continue;
                    }
                    uint64_t end = i;
                    while (end < count && (shown[end].Flags & inputs::NamedFlags[lane])) {
                        ++end;
                    }
                    draw->AddRectFilled(ImVec2(origin.x + i * step, top),
                                        ImVec2(origin.x + end * step, top + FlagLaneHeight),
                                        FlagColour);
                    i = end;
                }
            }
            if (liveRow && *liveRow >= window.First && *liveRow <= window.Last) {
                const float x = xOf(*liveRow);
                draw->AddLine(ImVec2(x, origin.y), ImVec2(x, origin.y + GraphHeight + 2.0f + lanes),
                              LiveColour, 1.0f);
            }
        }
        if (window.Empty()) {
            ImGui::TextUnformatted("No frames yet");
        } else {
            ImGui::TextUnformatted(
                ("frames " + std::to_string(firstFrame) + " to " + std::to_string(lastFrame))
                    .c_str());
        }
        for (size_t k = 0; k < inputs::GraphedControls.size(); ++k) {
            ImGui::SameLine(0, -1);
            ImGui::TextColored(ImColor(ControlColours[k]), "%s", GraphedNames[k]);
        }
    }
    ImGui::TextUnformatted("> now");
    ImGui::SameLine(0, -1);
    ImGui::TextUnformatted("T teleport");
    if (pendingShown) {
        ImGui::SameLine(0, -1);
        ImGui::TextColored(PendingText, "+ new, not applied");
        ImGui::SameLine(0, -1);
        ImGui::TextDisabled("- replaced by Update");
    }

    // The table scrolls on its own below the graph; its header stays on top.
    const ColumnLayout columns = LayOutColumns(rows);
    if (ImGui::BeginChild("Inputs##Gyrolog", ImVec2(0, 0), false,
                          ImGuiWindowFlags_HorizontalScrollbar)) {
        const ImGuiStyle& style = ImGui::GetStyle();
        const float rowHeight = ImGui::GetTextLineHeightWithSpacing();
        const ImVec2 pos = ImGui::GetWindowPos();
        const ImVec2 size = ImGui::GetWindowSize();
        const float scrollY = ImGui::GetScrollY();
        const float barRight = ImGui::GetScrollMaxY() > 0.0f ? style.ScrollbarSize : 0.0f;
        const float barBelow = ImGui::GetScrollMaxX() > 0.0f ? style.ScrollbarSize : 0.0f;
        const float rowsShown = size.y - barBelow - rowHeight; // below the header
        const auto scrollTo = [&](uint64_t row) {
            ImGui::SetScrollY(static_cast<float>(row) * rowHeight - (rowsShown - rowHeight) * 0.5f);
        };
        if (view.ScrollToRow) {
            scrollTo(std::min(*view.ScrollToRow, rows > 0 ? rows - 1 : 0));
            view.ScrollToRow.reset();
        } else if (view.Follow && followRow) {
            const float top = static_cast<float>(*followRow) * rowHeight;
            if (top < scrollY || top + rowHeight > scrollY + rowsShown) {
                scrollTo(*followRow);
            }
        }

        ImGui::Dummy(ImVec2(columns.Width, rowHeight - style.ItemSpacing.y)); // under the header
        const float rowsTop = ImGui::GetCursorScreenPos().y;
        const float left = ImGui::GetCursorPosX();
        ImDrawList* draw = ImGui::GetWindowDrawList();
        ImGui::PushClipRect(ImVec2(pos.x, pos.y + rowHeight),
                            ImVec2(pos.x + size.x, pos.y + size.y), true);
        ImGuiListClipper clipper;
        clipper.Begin(static_cast<int>(rows), rowHeight);
        uint64_t firstShown = 0;
        uint64_t lastShown = 0;
        while (clipper.Step()) {
            firstShown = static_cast<uint64_t>(clipper.DisplayStart);
            lastShown = static_cast<uint64_t>(std::max(clipper.DisplayEnd - 1, 0));
            for (int r = clipper.DisplayStart; r < clipper.DisplayEnd; ++r) {
                const uint64_t rowIndex = static_cast<uint64_t>(r);
                const inputs::Row row = layout.At(rowIndex);
                const bool pending = row.Kind == inputs::RowKind::Pending;
                const ImVec2 at = ImGui::GetCursorScreenPos();
                const ImVec2 end(at.x + columns.Width, at.y + rowHeight);
                if (liveRow == rowIndex) {
                    draw->AddRectFilled(at, end, LiveRowColour);
                }
                if (!pending && view.Selected.Holds(row.Frame)) {
                    draw->AddRectFilled(at, end, ImGui::GetColorU32(ImGuiCol_Header));
                }
                std::string marks = liveRow == rowIndex ? ">" : "";
                if (Contains(pending ? tas.PendingTeleportFrames : frames.TeleportFrames,
                             row.Frame)) {
                    marks += 'T';
                }
                if (pending) {
                    marks += '+';
                    ImGui::PushStyleColor(ImGuiCol_Text, PendingText);
                } else if (row.Kind == inputs::RowKind::Replaced) {
                    marks += '-';
                    ImGui::PushStyleColor(ImGuiCol_Text, style.Colors[ImGuiCol_TextDisabled]);
                }
                ImGui::TextUnformatted(marks.c_str());
                const auto cells = inputs::Cells(row.Frame, inputAt(row));
                for (size_t c = 0; c < cells.size(); ++c) {
                    ImGui::SameLine(left + columns.Start[c + 1]);
                    ImGui::TextUnformatted(cells[c].c_str());
                }
                if (row.Kind != inputs::RowKind::Run) {
                    ImGui::PopStyleColor();
                }
            }
        }
        ImGui::PopClipRect();
        view.ViewFirstRow = firstShown;
        view.ViewLastRow = lastShown;

        // A click picks the frame under the mouse, Shift+click extends to it.
        // Pending frames are not the run's yet: they cannot be picked.
        if (ImGui::IsWindowHovered() && ImGui::IsMouseClicked(0)) {
            const ImVec2 mouse = ImGui::GetMousePos();
            if (mouse.y >= pos.y + rowHeight && mouse.y < pos.y + size.y - barBelow &&
                mouse.x < pos.x + size.x - barRight && mouse.y >= rowsTop) {
                const auto r = static_cast<uint64_t>(
                    (static_cast<double>(mouse.y) - static_cast<double>(rowsTop)) / rowHeight);
                if (r < rows && layout.At(r).Kind != inputs::RowKind::Pending) {
                    view.Selected.Select(layout.At(r).Frame, ImGui::GetIO().KeyShift);
                }
            }
        }

        // The header, drawn last at the top of the view, over the rows clipped
        // beneath it.
        for (size_t c = 0; c < inputs::ColumnNames.size(); ++c) {
            ImGui::SetCursorPos(ImVec2(left + columns.Start[c + 1], scrollY));
            ImGui::TextUnformatted(inputs::ColumnNames[c]);
        }
    }
    ImGui::EndChild();
    lock.unlock();
    if (edit) {
        gameWrapper->Execute([this, make = std::move(edit)](GameWrapper*) {
            GuardedOnGame("frame edit", [&] { Editor.EditFromPage(make); });
        });
    }
}
