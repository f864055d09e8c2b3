// Exporting and importing an hour-long run as text.
#include "BenchSupport.h"
#include "RunText.h"

#include <benchmark/benchmark.h>

namespace {

runtext::FileReport HourReport() {
    runtext::FileReport report;
    report.status = runtext::FileStatus::Complete;
    report.version = 1;
    report.data = HourLongRun();
    return report;
}

void ExportCsv(benchmark::State& state) {
    const auto report = HourReport();
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtext::ExportCsv(report.data));
    }
}
BENCHMARK(ExportCsv)->Unit(benchmark::kMillisecond);

void ImportCsv(benchmark::State& state) {
    const auto report = HourReport();
    const std::string csv = runtext::ExportCsv(report.data);
    const std::string side = runtext::InfoJson(report).dump(2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtext::ImportCsv(csv, "hour.csv", side, "hour.json"));
    }
}
BENCHMARK(ImportCsv)->Unit(benchmark::kMillisecond);

void ExportJson(benchmark::State& state) {
    const auto report = HourReport();
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtext::ExportJson(report));
    }
}
BENCHMARK(ExportJson)->Unit(benchmark::kMillisecond);

void ImportJson(benchmark::State& state) {
    const std::string text = runtext::ExportJson(HourReport());
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtext::ImportJson(text, "hour.json"));
    }
}
BENCHMARK(ImportJson)->Unit(benchmark::kMillisecond);

} // namespace
