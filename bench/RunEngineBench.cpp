// The vehicle-input handler per call in each state (replaying with and
// without the check against the recording's trace), and the merge of an hour
// of new inputs, each against a baseline doing the bare minimum. The handler
// also runs while the render thread draws the run editor, which holds the run
// editor's lock most of the time: the handler takes no lock, so it must not
// slow down.
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

struct LoadedPlugin {
    LoadedPlugin() : host(BenchFolder()) {
        host.LoadPlugin(exports);
        access = std::make_unique<GyrologTestAccess>(
            GyrologTestAccess{*static_cast<Gyrolog*>(host.Plugin())});
        access->Run().Data = HourLongRun();
    }
    ~LoadedPlugin() { host.UnloadPlugin(); }
    CarWrapper Car() { return CarWrapper(reinterpret_cast<uintptr_t>(host.GetWorld().LocalCar())); }

    sim::Host host;
    std::unique_ptr<GyrologTestAccess> access;
};

// Both the handler and its baseline are called the way the host calls a
// caller hook: through a function object, with the event's name by value.
using VehicleInputHook = std::function<void(CarWrapper, void*, std::string)>;
const std::string EventName = "Function TAGame.Car_TA.SetVehicleInput";

// Draws the Loaded TAS tab with the car's location open, frame after frame.
void DrawRunEditor(sim::Ui& ui) {
    if (ui.Click("Location") != "") {
        ui.Click("Loaded TAS");
        ui.Click("Car Starting State");
    }
    ui.Frame(20);
}

void Handler(benchmark::State& state, TasState runState, bool checked, bool pageDrawn = false) {
    LoadedPlugin loaded;
    if (pageDrawn) {
        loaded.host.GetUi().StartFreeRunning(DrawRunEditor);
    }
    auto& run = loaded.access->Run();
    run.State = runState;
    run.Data.TeleportFrames.clear(); // replay frame after frame, no teleport hold
    CarWrapper car = loaded.Car();
    if (checked) {
        // Car and ball stand where the trace says: every frame is checked,
        // none drifts.
        TraceEntry here;
        here.CarLocation = car.GetLocation();
        here.BallLocation = loaded.host.GetWorld().GetBall()->location;
        here.HasBall = 1;
        run.Data.Trace.assign(HourOfFrames, here);
        loaded.access->BeginDriftCheck();
    }
    unsigned char params[48] = {};
    VehicleInputHook hook = [&](CarWrapper caller, void* block, std::string name) {
        loaded.access->OnSetVehicleInput(caller, block, std::move(name));
    };
    for (auto _ : state) {
        if (run.CurrentFrame + 1 >= HourOfFrames) {
            run.CurrentFrame = 0;
            run.NextTeleport = 0;
        }
        if (run.PendingInputs.size() >= HourOfFrames) {
            run.PendingInputs.clear();
            run.PendingTrace.clear();
        }
        // The game hands every tick a fresh input: the replayed one left in
        // the block would hold boost and take the replay over.
        std::memset(params, 0, sizeof params);
        hook(car, params, EventName);
        benchmark::DoNotOptimize(params);
    }
    loaded.host.GetUi().StopFreeRunning();
    state.counters["still_in_state"] = run.State == runState;
    if (checked) {
        state.counters["still_checking"] = loaded.access->StillChecking();
    }
}
BENCHMARK_CAPTURE(Handler, Stopped, TasState::Stopped, false);
BENCHMARK_CAPTURE(Handler, Replaying, TasState::Replaying, false);
BENCHMARK_CAPTURE(Handler, ReplayingChecked, TasState::Replaying, true);
BENCHMARK_CAPTURE(Handler, Recording, TasState::Recording, false);
BENCHMARK_CAPTURE(Handler, ReplayingWhilePageDrawn, TasState::Replaying, false, true);
BENCHMARK_CAPTURE(Handler, RecordingWhilePageDrawn, TasState::Recording, false, true);

// The same host queries as the handler, then one 32-byte copy.
void HandlerBaseline(benchmark::State& state) {
    LoadedPlugin loaded;
    auto& game = loaded.access->Game();
    auto& run = loaded.access->Run();
    CarWrapper car = loaded.Car();
    unsigned char params[48] = {};
    uint64_t frame = 0;
    VehicleInputHook hook = [&](CarWrapper caller, void* block, std::string) {
        if (caller && game.IsInFreeplay()) {
            CarWrapper local = game.GetLocalCar();
            if (local && local.memory_address == caller.memory_address) {
                std::memcpy(block, &run.Data.Inputs[frame++], sizeof(VehicleInput));
            }
        }
    };
    for (auto _ : state) {
        if (frame + 1 >= HourOfFrames) {
            frame = 0;
        }
        std::memset(params, 0, sizeof params);
        hook(car, params, EventName);
        benchmark::DoNotOptimize(params);
    }
}
BENCHMARK(HandlerBaseline);

void Merge(benchmark::State& state) {
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    const TasData hour = HourLongRun();
    for (auto _ : state) {
        state.PauseTiming();
        run.Data.Inputs = hour.Inputs;
        run.PendingInputs.clear();
        for (const VehicleInput& input : hour.Inputs) {
            run.PendingInputs.push_back(input);
        }
        run.CurrentFrame = HourOfFrames / 2;
        run.State = TasState::Stopped;
        run.InputsApplied = false;
        state.ResumeTiming();
        loaded.access->UpdateInputs();
        benchmark::DoNotOptimize(run.Data.Inputs.data());
    }
}
BENCHMARK(Merge)->Unit(benchmark::kMillisecond);

// A plain copy of the bytes the merge moves: the kept half and the new hour.
void MergeBaseline(benchmark::State& state) {
    const TasData hour = HourLongRun();
    const size_t kept = HourOfFrames / 2;
    for (auto _ : state) {
        std::vector<VehicleInput> merged(kept + HourOfFrames);
        std::memcpy(merged.data(), hour.Inputs.data(), kept * sizeof(VehicleInput));
        std::memcpy(merged.data() + kept, hour.Inputs.data(), HourOfFrames * sizeof(VehicleInput));
        benchmark::DoNotOptimize(merged.data());
    }
}
BENCHMARK(MergeBaseline)->Unit(benchmark::kMillisecond);

constexpr int HourRuns = 3;
constexpr size_t FirstSecond = 120; // warm-up ticks each phase leaves out

// Times every call of a phase of HourOfFrames handler calls and keeps, per
// call, the least time over the runs: a preemption of the machine hits random
// calls, a stall of ours the same call every run.
void TimeEachCall(std::vector<double>& leastUs, const std::function<void(size_t)>& call) {
    using Clock = std::chrono::steady_clock;
    for (size_t i = 0; i < HourOfFrames; ++i) {
        const auto start = Clock::now();
        call(i);
        const std::chrono::duration<double, std::micro> took = Clock::now() - start;
        leastUs[i] = std::min(leastUs[i], took.count());
    }
}

double WorstAfterTheFirstSecond(const std::vector<double>& leastUs) {
    return *std::max_element(leastUs.begin() + FirstSecond, leastUs.end());
}

// An hour recorded through the handler, merged, then replayed through it
// with the check against the recording's trace: the worst single call of each.
void HandlerWorstOverAnHour(benchmark::State& state) {
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    const TasData hour = HourLongRun();
    CarWrapper car = loaded.Car();
    unsigned char params[48] = {};
    VehicleInputHook hook = [&](CarWrapper caller, void* block, std::string name) {
        loaded.access->OnSetVehicleInput(caller, block, std::move(name));
    };
    const double never = std::numeric_limits<double>::infinity();
    std::vector<double> recording(HourOfFrames, never);
    std::vector<double> replaying(HourOfFrames, never);
    std::vector<double> growing(HourOfFrames, never);
    bool checkedToTheEnd = true;
    bool grewToTheEnd = true;
    size_t keyframes = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < HourRuns; ++pass) {
            // Each run records into fresh memory, as the first recording of a session does.
            run.Reset();
            run.PendingInputs = decltype(run.PendingInputs)();
            run.PendingTrace = decltype(run.PendingTrace)();
            run.PendingKeyframes = decltype(run.PendingKeyframes)();
            run.Data.Hitbox = HitboxType::Octane;
            run.State = TasState::Recording;
            run.InputsApplied = false;
            TimeEachCall(recording, [&](size_t i) {
                std::memcpy(params, &hour.Inputs[i], sizeof(VehicleInput));
                hook(car, params, EventName);
            });
            run.State = TasState::Stopped;
            loaded.access->UpdateInputs();

            // The car stands still in the bench: every frame is checked, none drifts.
            run.State = TasState::Replaying;
            run.CurrentFrame = 0;
            run.NextTeleport = 0;
            loaded.access->BeginDriftCheck();
            TimeEachCall(replaying, [&](size_t) {
                std::memset(params, 0, sizeof params);
                hook(car, params, EventName);
            });
            checkedToTheEnd = checkedToTheEnd && loaded.access->StillChecking() &&
                              run.CurrentFrame == HourOfFrames;
            keyframes = run.Data.Keyframes.size();

            // A replay of the run without its trace, which traces every frame
            // and keeps keyframes as it plays.
            run.State = TasState::Replaying;
            run.Data.Trace.clear();
            run.Data.Trace.shrink_to_fit();
            run.Data.Keyframes.clear();
            run.CurrentFrame = 0;
            run.NextTeleport = 0;
            BeginTraceGrowth(run);
            TimeEachCall(growing, [&](size_t) {
                std::memset(params, 0, sizeof params);
                hook(car, params, EventName);
            });
            grewToTheEnd = grewToTheEnd && run.Data.Trace.size() == HourOfFrames;
        }
    }
    state.counters["worst_recording_us"] = WorstAfterTheFirstSecond(recording);
    state.counters["worst_replaying_us"] = WorstAfterTheFirstSecond(replaying);
    state.counters["worst_growing_trace_us"] = WorstAfterTheFirstSecond(growing);
    state.counters["grew_to_the_end"] = grewToTheEnd;
    state.counters["keyframes_recorded"] = static_cast<double>(keyframes);
    state.counters["checked_to_the_end"] = checkedToTheEnd;
}
BENCHMARK(HandlerWorstOverAnHour)->Iterations(1)->Unit(benchmark::kSecond);

// An hour recorded on the simulated game's ticks, driving around, then
// re-recorded from its last minute: the game ticks and the wall time from
// tas_rerecordfrom to the take-over, with quick seek, and without it (the
// baseline, which seeks from frame 0). Also what the hour's keyframes take,
// in memory and in its trace file.
void QuickSeekToTheLastMinute(benchmark::State& state) {
    sim::Host host(BenchFolder());
    host.LoadPlugin(exports);
    GyrologTestAccess access{*static_cast<Gyrolog*>(host.Plugin())};
    access.CreateNewTas("hour");
    auto& run = access.Run();
    host.RunLine("tas_start");
    host.Wait(0.2);
    for (size_t i = 0; i < HourOfFrames; ++i) {
        ControllerInput live{};
        live.Throttle = 1.0f;
        live.Steer = static_cast<float>(i % 600) / 300.0f - 1.0f;
        host.Tick(1, live);
    }
    host.RunLine("tas_stopandupdate; tas_seekspeed 5");
    const auto seek = [&](const char* quickSeek) {
        host.RunLine(std::string("tas_stop; tas_quickseek ") + quickSeek);
        const auto start = std::chrono::steady_clock::now();
        host.RunLine("tas_rerecordfrom 431000");
        uint64_t ticks = 0;
        while (run.State != TasState::Recording && ticks < 2 * HourOfFrames) {
            host.Tick(1, {});
            ++ticks;
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        return std::pair{ticks, took.count()};
    };
    for (auto _ : state) {
        const auto [quickTicks, quickMs] = seek("1");
        const auto [fullTicks, fullMs] = seek("0");
        state.counters["quick_ticks"] = static_cast<double>(quickTicks);
        state.counters["quick_ms"] = quickMs;
        state.counters["from_frame_0_ticks"] = static_cast<double>(fullTicks);
        state.counters["from_frame_0_ms"] = fullMs;
        state.counters["ticks_ratio"] =
            static_cast<double>(quickTicks) / static_cast<double>(fullTicks);
    }
    const size_t keyframes = run.Data.Keyframes.size();
    state.counters["traced_frames"] = static_cast<double>(run.Data.Trace.size());
    state.counters["keyframes"] = static_cast<double>(keyframes);
    state.counters["keyframe_bytes"] = static_cast<double>(keyframes * sizeof(Keyframe));
    // What the trace file holds beyond its header and entries.
    std::ostringstream traceFile;
    WriteTrace(traceFile, run.Data);
    state.counters["trace_file_growth_bytes"] = static_cast<double>(
        traceFile.str().size() - TraceHeaderBytes - run.Data.Trace.size() * sizeof(TraceEntry));
    host.UnloadPlugin();
}
BENCHMARK(QuickSeekToTheLastMinute)->Iterations(1)->Unit(benchmark::kSecond);

// The page drawn freely on the render thread, the run editor open, while the
// game thread saves and loads an hour-long run with its trace, three times
// over. A frame counts as busy when a save or load was going on at its start
// or its end. The machine is shared: a frame the scheduler took the CPU from
// without it ever waiting (an involuntary switch and no voluntary one) is left
// out, while a frame that waited, on a lock or on anything, stays in.
// worst_frame_ms is the least of the three runs' longest busy frames (a stray
// wait hits one run, a wait on file work each one); idle_frame_ms is the
// median frame with nothing going on, idle_worst_frame_ms the longest.
struct ThreadSwitches {
    long waited = 0;    // the thread gave up the CPU: it waited for something
    long preempted = 0; // the scheduler took the CPU away
};

ThreadSwitches SwitchesSoFar() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
}

// Draws the run editor freely on the render thread and files each frame's
// time under the phase at its start, or at its end when that was Idle.
void TimePageFrames(LoadedPlugin& loaded, const std::atomic<int>& phase, int idle,
                    std::vector<std::vector<double>>& frameMs) {
    auto opened = std::make_shared<bool>(false);
    loaded.host.GetUi().StartFreeRunning([&, opened, idle](sim::Ui& ui) {
        if (!*opened) {
            DrawRunEditor(ui);
            *opened = true;
        }
        const int atStart = phase;
        const ThreadSwitches before = SwitchesSoFar();
        const auto start = std::chrono::steady_clock::now();
        ui.Frame();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        const ThreadSwitches after = SwitchesSoFar();
        const int atEnd = phase;
        if (after.preempted != before.preempted && after.waited == before.waited) {
            return;
        }
        frameMs[atStart != idle ? atStart : atEnd].push_back(took.count());
    });
}

// The least over the passes of each pass's longest frame, and the idle
// frames' median and longest.
void CountPageFrames(benchmark::State& state, std::vector<std::vector<double>>& frameMs,
                     int passes) {
    double worst = std::numeric_limits<double>::infinity();
    for (int pass = 0; pass < passes; ++pass) {
        const auto& busy = frameMs[pass];
        worst = std::min(worst, busy.empty() ? 0.0 : *std::max_element(busy.begin(), busy.end()));
    }
    auto& idle = frameMs[passes];
    std::nth_element(idle.begin(), idle.begin() + idle.size() / 2, idle.end());
    state.counters["worst_frame_ms"] = worst;
    state.counters["idle_frame_ms"] = idle[idle.size() / 2];
    state.counters["idle_worst_frame_ms"] = *std::max_element(idle.begin(), idle.end());
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void PageDuringSaveAndLoad(benchmark::State& state) {
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    run.Name = "hour";
    run.Data.Trace.assign(HourOfFrames, TraceEntry{});
    constexpr int Idle = HourRuns;
    std::atomic<int> phase = Idle;
    std::vector<std::vector<double>> frameMs(HourRuns + 1); // the render thread's until it stops
    TimePageFrames(loaded, phase, Idle, frameMs);
    for (auto _ : state) {
        Pause();
        for (int pass = 0; pass < HourRuns; ++pass) {
            phase = pass;
            loaded.access->SaveTas();
            loaded.access->RefreshTasFiles();
            loaded.access->LoadTas(loaded.access->FileIndex("hour"));
            phase = Idle;
            Pause();
        }
    }
    loaded.host.GetUi().StopFreeRunning();
    CountPageFrames(state, frameMs, HourRuns);
    state.counters["loaded_whole"] =
        run.Name == "hour" && run.Data.Inputs.size() == HourOfFrames && run.Data.HasTrace();
}
BENCHMARK(PageDuringSaveAndLoad)->Iterations(1)->Unit(benchmark::kSecond);

// An hour-long traced run whose last minute is re-recorded and applied a
// hundred times: the history keeps each minute it replaced, not a copy of
// the run, and stays under its limits.
void HistoryOfAnHourWithAHundredUpdates(benchmark::State& state) {
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    run.Data.Trace.assign(run.Data.Inputs.size(), TraceEntry{});
    const size_t minute = 120 * 60;
    for (auto _ : state) {
        for (int update = 0; update < 100; ++update) {
            run.PendingInputs.clear();
            run.PendingTrace.clear();
            for (size_t i = 0; i < minute; ++i) {
                run.PendingInputs.push_back(run.Data.Inputs[i]);
                run.PendingTrace.push_back(TraceEntry{});
            }
            run.CurrentFrame = run.Data.Inputs.size() - minute;
            run.NextTeleport = 0;
            run.InputsApplied = false;
            loaded.access->UpdateInputs();
        }
    }
    // An undo and a redo on the game thread: the splice, and its journal
    // record handed to the writer.
    double worstUndoMs = 0;
    for (int pair = 0; pair < 5; ++pair) {
        for (const char* command : {"tas_undo", "tas_redo"}) {
            const auto began = std::chrono::steady_clock::now();
            loaded.host.RunLine(command);
            worstUndoMs = std::max(worstUndoMs, std::chrono::duration<double, std::milli>(
                                                    std::chrono::steady_clock::now() - began)
                                                    .count());
        }
    }
    state.counters["worst_undo_ms"] = worstUndoMs;
    const RunHistory& history = loaded.access->History();
    state.counters["history_mb"] = static_cast<double>(history.Bytes()) / 1e6;
    state.counters["steps"] = static_cast<double>(history.Size());
    state.counters["run_mb"] =
        static_cast<double>(run.Data.Inputs.size() * (sizeof(VehicleInput) + sizeof(TraceEntry))) /
        1e6;
    state.counters["traced_after"] = run.Data.HasTrace();
}
BENCHMARK(HistoryOfAnHourWithAHundredUpdates)->Iterations(1)->Unit(benchmark::kSecond);

// One page frame with the Inputs tab open on a run scrolled to its middle
// frame, selected there: the table draws only the rows in view and the graph
// a few hundred frames, so an hour-long run (frame_ms) costs about what a
// minute-long one does (minute_frame_ms; ratio, the hour's over the minute's).
// Each is the median of 200 frames, the least of three passes;
// files_tab_frame_ms is the same frame with the Files tab open instead, what
// a frame costs without the table.
double MedianFrameMs(sim::Ui& ui) {
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ui.Frame();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    return ms[ms.size() / 2];
}

double InputsTabFrameMs(size_t frames, bool& inTheMiddle, double& filesTabMs) {
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    run.Data.Inputs.resize(frames);
    // Traced, with its keyframes and a marker every ten seconds, all shown.
    run.Data.Trace.resize(frames);
    for (uint64_t frame = 0; frame < frames; frame += KeyframeInterval) {
        Keyframe keyframe;
        keyframe.Frame = frame;
        run.Data.Keyframes.push_back(keyframe);
        if (frame % 1200 == 0) {
            run.Data.Markers.push_back(Marker{frame, "marker " + std::to_string(frame)});
        }
    }
    auto& ui = loaded.host.GetUi();
    ui.Resize("Gyrolog", 1200, 600);
    filesTabMs = MedianFrameMs(ui);
    ui.Click("Inputs");
    ui.Click("State");
    ui.Click("Speeds");
    ui.Edit("Go to frame");
    ui.Type(std::to_string(frames / 2));
    ui.Key("enter");
    ui.Frame(2);
    const auto& view = loaded.access->InputsTab();
    inTheMiddle = view.Selected.First == frames / 2 && view.ViewFirstRow < frames / 2 &&
                  view.ViewLastRow > frames / 2;
    return MedianFrameMs(ui);
}

void InputsTabFrame(benchmark::State& state) {
    constexpr size_t MinuteOfFrames = 120 * 60;
    double hour = std::numeric_limits<double>::infinity();
    double minute = std::numeric_limits<double>::infinity();
    double files = std::numeric_limits<double>::infinity();
    bool middle = true;
    for (auto _ : state) {
        for (int pass = 0; pass < 3; ++pass) {
            bool there = false;
            double filesTab = 0.0;
            hour = std::min(hour, InputsTabFrameMs(HourOfFrames, there, filesTab));
            files = std::min(files, filesTab);
            middle = middle && there;
            minute = std::min(minute, InputsTabFrameMs(MinuteOfFrames, there, filesTab));
            files = std::min(files, filesTab);
            middle = middle && there;
        }
    }
    state.counters["frame_ms"] = hour;
    state.counters["minute_frame_ms"] = minute;
    state.counters["ratio"] = hour / minute;
    state.counters["files_tab_frame_ms"] = files;
    state.counters["in_the_middle"] = middle;
}
BENCHMARK(InputsTabFrame)->Iterations(1)->Unit(benchmark::kSecond);

// Keeps a branch of an hour-long traced run three times while the page is
// drawn freely: game_worst_ms is the longest game-thread call (the command,
// then each game frame's timer until the branch is said kept), the least of
// the three; the page's frames are counted as PageDuringSaveAndLoad's. Then
// compare_ms: comparing two hour-long branches that never part, the worst
// case, the least of three.
void KeepAndCompareHourLongBranches(benchmark::State& state) {
    std::filesystem::remove_all(BenchFolder() / "Gyrolog" / "branches");
    LoadedPlugin loaded;
    auto& run = loaded.access->Run();
    run.Name = "hour";
    run.Data.Trace.assign(HourOfFrames, TraceEntry{});
    loaded.access->SaveTas();
    loaded.access->RefreshTasFiles();
    loaded.access->LoadTas(loaded.access->FileIndex("hour"));
    constexpr int Idle = HourRuns;
    std::atomic<int> phase = Idle;
    std::vector<std::vector<double>> frameMs(HourRuns + 1);
    TimePageFrames(loaded, phase, Idle, frameMs);
    using Clock = std::chrono::steady_clock;
    const auto timed = [](const std::function<void()>& call) {
        const auto start = Clock::now();
        call();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    double gameWorst = std::numeric_limits<double>::infinity();
    bool keptWhole = true;
    for (auto _ : state) {
        Pause();
        for (int pass = 0; pass < HourRuns; ++pass) {
            const std::string name = "b" + std::to_string(pass);
            const std::string kept = "Branch " + name + " of hour kept: 432000 frames";
            phase = pass;
            double worst = timed([&] { loaded.host.RunLine("tas_branch " + name); });
            while (loaded.host.Logs().empty() || loaded.host.Logs().back() != kept) {
                worst = std::max(worst, timed([&] { loaded.host.Wait(1.0 / 120); }));
                std::this_thread::sleep_for(std::chrono::microseconds(8333));
            }
            phase = Idle;
            gameWorst = std::min(gameWorst, worst);
            keptWhole = keptWhole && loaded.access->Branches().View.Get()->Rows.size() ==
                                         static_cast<size_t>(pass + 1);
            Pause();
        }
    }
    loaded.host.GetUi().StopFreeRunning();
    CountPageFrames(state, frameMs, HourRuns);
    state.counters["game_worst_ms"] = gameWorst;
    state.counters["kept_whole"] = keptWhole;
    double compare = std::numeric_limits<double>::infinity();
    for (int pass = 0; pass < 3; ++pass) {
        compare = std::min(compare, timed([&] { loaded.host.RunLine("tas_comparebranch b0"); }));
    }
    state.counters["compare_ms"] = compare;
}
BENCHMARK(KeepAndCompareHourLongBranches)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
