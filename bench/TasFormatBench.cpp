// Loading and saving an hour-long run against one plain stream call that
// moves the same bytes.
#include "BenchSupport.h"
#include "runs/record/TasFormat.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::filesystem::path SavedHour() {
    static const auto path = [] {
        auto file = BenchFolder() / "hour.data";
        std::ofstream stream(file, std::ios::binary);
        WriteTas(stream, HourLongRun());
        return file;
    }();
    return path;
}

void LoadRun(benchmark::State& state) {
    const auto path = SavedHour();
    for (auto _ : state) {
        std::ifstream stream(path, std::ios::binary);
        TasData data;
        auto result = ReadTasData(stream, data);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(data.Inputs.data());
    }
    state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}
BENCHMARK(LoadRun)->Unit(benchmark::kMillisecond);

void LoadBaseline(benchmark::State& state) {
    const auto path = SavedHour();
    const auto size = std::filesystem::file_size(path);
    for (auto _ : state) {
        std::ifstream stream(path, std::ios::binary);
        std::vector<char> bytes(size);
        stream.read(bytes.data(), static_cast<std::streamsize>(size));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(LoadBaseline)->Unit(benchmark::kMillisecond);

void SaveRun(benchmark::State& state) {
    const TasData data = HourLongRun();
    const auto path = BenchFolder() / "save.data";
    for (auto _ : state) {
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        WriteTas(stream, data);
        stream.close();
    }
    state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}
BENCHMARK(SaveRun)->Unit(benchmark::kMillisecond);

void SaveBaseline(benchmark::State& state) {
    std::ostringstream bytes;
    WriteTas(bytes, HourLongRun());
    const std::string buffer = bytes.str();
    const auto path = BenchFolder() / "baseline.data";
    for (auto _ : state) {
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        stream.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        stream.close();
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(SaveBaseline)->Unit(benchmark::kMillisecond);

} // namespace
