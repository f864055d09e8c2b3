#include "BenchSupport.h"

#include <benchmark/benchmark.h>

TasData HourLongRun() {
    TasData data;
    data.Inputs.resize(HourOfFrames);
    for (size_t i = 0; i < HourOfFrames; ++i) {
        data.Inputs[i].Throttle = static_cast<float>(i % 100) / 100.0f;
        data.Inputs[i].Flags = static_cast<uint32_t>(i % 32);
    }
    data.TeleportFrames = {1000, 50000, 300000};
    data.Hitbox = HitboxType::Octane;
    return data;
}

std::filesystem::path BenchFolder() {
    auto folder = std::filesystem::temp_directory_path() / "gyrolog-bench";
    std::filesystem::create_directories(folder);
    return folder;
}

BENCHMARK_MAIN();
