// Exporting and importing an hour-long run as text. TextRatios runs the four
// operations side by side and reports each as a multiple of the CSV import,
// so that a busy machine slows them all alike.
#include "BenchSupport.h"
#include "RunText.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

runtext::FileReport HourReport() {
    runtext::FileReport report;
    report.status = runtext::FileStatus::Complete;
    report.version = 1;
    report.data = HourLongRun();
    return report;
}

// The text as gyrolog-run reads it from a file: with the JSON reader's padding.
std::string Padded(const std::string& text) {
    std::string padded;
    padded.reserve(text.size() + runtext::JsonPadding);
    padded = text;
    return padded;
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
    const std::string side = Padded(runtext::InfoJson(report).dump(2));
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
    const std::string text = Padded(runtext::ExportJson(HourReport()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtext::ImportJson(text, "hour.json"));
    }
}
BENCHMARK(ImportJson)->Unit(benchmark::kMillisecond);

template <typename Work> double Seconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void TextRatios(benchmark::State& state) {
    const auto report = HourReport();
    const std::string csv = runtext::ExportCsv(report.data);
    const std::string side = Padded(runtext::InfoJson(report).dump(2));
    const std::string json = Padded(runtext::ExportJson(report));
    // Each operation's fastest run: what an idle machine gives, where sums
    // and means carry whatever else the machine did meanwhile.
    double csvImport = 1e9, csvExport = 1e9, jsonImport = 1e9, jsonExport = 1e9;
    auto fastest = [](double& best, double seconds) {
        best = std::min(best, seconds);
    };
    for (auto _ : state) {
        fastest(csvImport, Seconds([&] {
                    benchmark::DoNotOptimize(
                        runtext::ImportCsv(csv, "hour.csv", side, "hour.json"));
                }));
        fastest(csvExport,
                Seconds([&] { benchmark::DoNotOptimize(runtext::ExportCsv(report.data)); }));
        fastest(jsonImport,
                Seconds([&] { benchmark::DoNotOptimize(runtext::ImportJson(json, "h.json")); }));
        fastest(jsonExport,
                Seconds([&] { benchmark::DoNotOptimize(runtext::ExportJson(report)); }));
    }
    state.counters["csv_import_ms"] = 1000 * csvImport;
    state.counters["csv_export_x"] = csvExport / csvImport;
    state.counters["json_import_x"] = jsonImport / csvImport;
    state.counters["json_export_x"] = jsonExport / csvImport;
}
BENCHMARK(TextRatios)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
