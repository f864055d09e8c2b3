// The vehicle-input handler per call in each state (replaying with and
// without the check against the recording's trace), and the merge of an hour
// of new inputs, each against a baseline doing the bare minimum. The handler
// also runs while the render thread draws the run editor, which holds the run
// editor's lock most of the time: the handler takes no lock, so it must not
// slow down.
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>

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
        run.PendingInputs = hour.Inputs;
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

} // namespace
