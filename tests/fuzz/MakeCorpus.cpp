// Writes the fuzzer's seed corpus with the project's own writer:
//   make_fuzz_corpus DIR
#include "runs/record/RunTrace.h"
#include "runs/record/TasFormat.h"

#include <cmath>
#include <fstream>
#include <iostream>

namespace {

void Save(const std::string& folder, const std::string& name, const TasData& data) {
    std::ofstream stream(folder + "/" + name, std::ios::binary);
    WriteTas(stream, data);
    if (!data.Trace.empty()) { // the reader's fuzzer takes a trace after the run
        WriteTrace(stream, data);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_corpus DIR\n";
        return 2;
    }
    const std::string folder = argv[1];
    Save(folder, "empty-run.data", TasData());

    TasData small;
    small.Hitbox = HitboxType::Octane;
    small.CarStart.Enabled = true;
    small.CarStart.Location = {0, -4608, 17};
    for (int i = 0; i < 8; ++i) {
        VehicleInput input;
        input.Throttle = 1.0f;
        input.Steer = i % 2 ? -0.5f : std::nanf("");
        input.Flags = static_cast<uint32_t>(i * 5);
        small.Inputs.push_back(input);
    }
    small.TeleportFrames = {3, 6};
    Save(folder, "small-run.data", small);
    TasData traced; // a run and its trace of version 3, keyframes included
    traced.Inputs = small.Inputs;
    traced.TeleportFrames = small.TeleportFrames;
    traced.CarStart = small.CarStart;
    traced.Hitbox = small.Hitbox;
    traced.Trace.assign(6, TraceEntry{});
    traced.Trace[5].CarLocation = {1, 2, 3};
    traced.Keyframes.assign(2, Keyframe{});
    traced.Keyframes[1].Frame = 3;
    traced.Keyframes[1].Boost = 0.5f;
    Save(folder, "small-run-traced.data", traced);

    small.BallStart.Enabled = true;
    small.AirSensitivity = -0.0f;
    small.Hitbox = static_cast<HitboxType>(77);
    Save(folder, "odd-values.data", small);
    return 0;
}
