#include "ui/InputsFrame.h"

#include <imgui.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace inputs {
namespace {

// The graph shows this many frames, about two and a half seconds of play.
constexpr uint64_t GraphFrames = 300;
constexpr float GraphHeight = 48.0f;
constexpr float FlagLaneHeight = 3.0f;
// The speeds are drawn from 0 (bottom) to the game's highest (top).
constexpr float CarTopSpeed = 2300.0f;
constexpr float BallTopSpeed = 6000.0f;

const std::array<ImU32, GraphedControls.size()> ControlColours = {
    IM_COL32(90, 200, 90, 255),  // throttle
    IM_COL32(230, 90, 90, 255),  // steer
    IM_COL32(90, 160, 255, 255), // pitch
    IM_COL32(230, 200, 60, 255), // yaw
    IM_COL32(200, 110, 230, 255) // roll
};
constexpr const char* GraphedNames[] = {"throttle", "steer", "pitch", "yaw", "roll"};
const ImU32 FlagColour = IM_COL32(200, 200, 200, 255);
const ImU32 LiveColour = IM_COL32(255, 170, 0, 255);
const ImU32 CarSpeedColour = IM_COL32(255, 255, 255, 200);
const ImU32 BallSpeedColour = IM_COL32(120, 230, 230, 200);
const ImU32 MarkerColour = IM_COL32(255, 230, 80, 255);
const ImU32 TeleportColour = IM_COL32(150, 150, 150, 160);
const ImU32 DriftColour = IM_COL32(255, 60, 60, 255);
const ImU32 GraphBackground = IM_COL32(20, 24, 32, 255);
const ImU32 GraphSelection = IM_COL32(255, 255, 255, 40);
// The compared branch's lines: its controls' colours, faint behind the run's.
constexpr ImU32 ComparedAlpha = 70;

ImU32 Faint(ImU32 colour) {
    return (colour & ~IM_COL32_A_MASK) | (ComparedAlpha << IM_COL32_A_SHIFT);
}

float Plotted(float value) {
    return std::isnan(value) ? 0.0f : std::clamp(value, -1.0f, 1.0f);
}

// The row the graph is centred on: the live frame while following, else the
// selection, else the rows the table shows.
uint64_t GraphCentre(const Frame& frame, const InputsTabState& view) {
    if (view.Follow && frame.FollowRow) {
        return *frame.FollowRow;
    }
    if (view.Selected.Any()) {
        return frame.Layout.RowOfRunFrame(view.Selected.First +
                                          (view.Selected.Last - view.Selected.First) / 2);
    }
    return (view.ViewFirstRow + view.ViewLastRow) / 2;
}

struct Plot {
    ImDrawList* Draw;
    ImVec2 Origin;
    float Step;
    RowWindow Window;
    float X(uint64_t row) const {
        return Origin.x + (static_cast<float>(row - Window.First) + 0.5f) * Step;
    }
    void Mark(uint64_t row, ImU32 colour, float bottom) const {
        Draw->AddLine(ImVec2(X(row), Origin.y), ImVec2(X(row), bottom), colour, 1.0f);
    }
};

// One line through the rows whose value is known, broken where it is not.
template <typename ValueOf> void DrawLine(const Plot& plot, ImU32 colour, ValueOf valueOf) {
    std::vector<ImVec2> points;
    const auto flush = [&] {
        if (points.size() >= 2) {
            plot.Draw->AddPolyline(points.data(), static_cast<int>(points.size()), colour, 0, 1.0f);
        }
        points.clear();
    };
    for (uint64_t row = plot.Window.First; row <= plot.Window.Last; ++row) {
        if (const std::optional<float> value = valueOf(row)) {
            const float y = plot.Origin.y + GraphHeight * 0.5f * (1.0f - *value);
            points.emplace_back(plot.X(row), std::clamp(y, plot.Origin.y + 1.0f,
                                                        plot.Origin.y + GraphHeight - 1.0f));
        } else {
            flush();
        }
    }
    flush();
}

void DrawFlagLanes(const Plot& plot, const std::vector<const VehicleInput*>& shown) {
    for (size_t lane = 0; lane < NamedFlags.size(); ++lane) {
        const float top = plot.Origin.y + GraphHeight + 2.0f + lane * (FlagLaneHeight + 1.0f);
        for (size_t i = 0; i < shown.size();) {
            const auto set = [&](size_t k) {
                return shown[k] != nullptr && (shown[k]->Flags & NamedFlags[lane]);
            };
            if (!set(i)) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < shown.size() && set(end)) {
                ++end;
            }
            plot.Draw->AddRectFilled(ImVec2(plot.Origin.x + i * plot.Step, top),
                                     ImVec2(plot.Origin.x + end * plot.Step, top + FlagLaneHeight),
                                     FlagColour);
            i = end;
        }
    }
}

// Teleports, markers with their text, the drift and the live frame.
void DrawMarks(const Frame& frame, const Plot& plot, float bottom) {
    for (uint64_t row = plot.Window.First; row <= plot.Window.Last; ++row) {
        const Row at = frame.Layout.At(row);
        if (frame.TeleportAt(at)) {
            plot.Mark(row, TeleportColour, bottom);
        }
        if (at.Kind == RowKind::Run && frame.DriftFrame == at.Frame) {
            plot.Mark(row, DriftColour, bottom);
        }
        if (const Marker* marker = frame.MarkerOf(at)) {
            plot.Mark(row, MarkerColour, bottom);
            plot.Draw->AddText(ImVec2(plot.X(row) + 2.0f, plot.Origin.y), MarkerColour,
                               marker->Text.c_str());
        }
    }
    if (frame.LiveRow && *frame.LiveRow >= plot.Window.First &&
        *frame.LiveRow <= plot.Window.Last) {
        plot.Mark(*frame.LiveRow, LiveColour, bottom);
    }
}

// The compared branch's controls at the run's rows drawn, on the same scales.
void DrawCompared(const Frame& frame, const Plot& plot) {
    for (size_t k = 0; k < GraphedControls.size(); ++k) {
        DrawLine(plot, Faint(ControlColours[k]), [&](uint64_t row) -> std::optional<float> {
            const VehicleInput* theirs = frame.ComparedAt(frame.Layout.At(row));
            return theirs ? std::optional<float>(Plotted(theirs->*GraphedControls[k]))
                          : std::nullopt;
        });
    }
}

} // namespace

// The five analog controls from -1 (bottom) to 1 (top) over the frames
// around the centre row, the named flags as bars beneath, and the speeds
// when asked for.
void DrawGraph(const Frame& frame, InputsTabState& view) {
    const RowWindow window =
        WindowAround(GraphCentre(frame, view), frame.Layout.Rows(), GraphFrames);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float width = std::max(ImGui::GetContentRegionAvail().x, 50.0f);
    const float lanes = NamedFlags.size() * (FlagLaneHeight + 1.0f);
    const float bottom = origin.y + GraphHeight + 2.0f + lanes;
    ImGui::Dummy(ImVec2(width, GraphHeight + 2.0f + lanes));
    draw->AddRectFilled(origin, ImVec2(origin.x + width, origin.y + GraphHeight), GraphBackground);
    const float middle = origin.y + GraphHeight * 0.5f;
    draw->AddLine(ImVec2(origin.x, middle), ImVec2(origin.x + width, middle),
                  IM_COL32(90, 90, 90, 255));
    if (!window.Empty()) {
        const uint64_t count = window.Last - window.First + 1;
        const Plot plot{draw, origin, width / static_cast<float>(count), window};
        std::vector<const VehicleInput*> shown;
        std::vector<const TraceEntry*> traces;
        shown.reserve(count);
        traces.reserve(count);
        for (uint64_t row = window.First; row <= window.Last; ++row) {
            shown.push_back(frame.InputAt(frame.Layout.At(row)));
            traces.push_back(view.PlotSpeeds ? frame.TraceAt(frame.Layout.At(row)) : nullptr);
        }
        if (view.Selected.Any()) {
            const uint64_t first =
                std::max(frame.Layout.RowOfRunFrame(view.Selected.First), window.First);
            const uint64_t last =
                std::min(frame.Layout.RowOfRunFrame(view.Selected.Last), window.Last);
            if (first <= last) {
                draw->AddRectFilled(ImVec2(plot.X(first) - plot.Step * 0.5f, origin.y),
                                    ImVec2(plot.X(last) + plot.Step * 0.5f, origin.y + GraphHeight),
                                    GraphSelection);
            }
        }
        DrawMarks(frame, plot, bottom);
        if (frame.Compared) {
            DrawCompared(frame, plot);
        }
        for (size_t k = 0; k < GraphedControls.size(); ++k) {
            DrawLine(plot, ControlColours[k], [&](uint64_t row) -> std::optional<float> {
                const VehicleInput* input = shown[row - window.First];
                return input ? std::optional<float>(Plotted(input->*GraphedControls[k]))
                             : std::nullopt;
            });
        }
        if (view.PlotSpeeds) {
            const auto speed = [&](float (*of)(const TraceEntry&), float top, bool ball) {
                return [&traces, &window, of, top, ball](uint64_t row) -> std::optional<float> {
                    const TraceEntry* trace = traces[row - window.First];
                    if (trace == nullptr || (ball && !trace->HasBall)) {
                        return std::nullopt;
                    }
                    return 2.0f * of(*trace) / top - 1.0f;
                };
            };
            DrawLine(plot, CarSpeedColour, speed(CarSpeed, CarTopSpeed, false));
            DrawLine(plot, BallSpeedColour, speed(BallSpeed, BallTopSpeed, true));
        }
        DrawFlagLanes(plot, shown);
    }
    ImGui::TextUnformatted(DescribeWindow(frame.Layout, window).c_str());
    for (size_t k = 0; k < GraphedControls.size(); ++k) {
        ImGui::SameLine(0, -1);
        ImGui::TextColored(ImColor(ControlColours[k]), "%s", GraphedNames[k]);
    }
    if (frame.Compared) {
        ImGui::SameLine(0, -1);
        ImGui::TextDisabled("faint: the compared branch");
    }
    if (view.PlotSpeeds) {
        ImGui::SameLine(0, -1);
        ImGui::TextColored(ImColor(CarSpeedColour), "car speed");
        ImGui::SameLine(0, -1);
        ImGui::TextColored(ImColor(BallSpeedColour), "ball speed");
    }
}

} // namespace inputs
