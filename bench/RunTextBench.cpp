// Exporting and importing an hour-long run as text. TextRatios runs the four
// operations side by side and reports each as a multiple of the CSV import,
// so that a busy machine slows them all alike.
#include "BenchSupport.h"
#include "RunText.h"

#include <benchmark/benchmark.h>

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
    double csvImport = 0, csvExport = 0, jsonImport = 0, jsonExport = 0;
    for (auto _ : state) {
        csvImport += Seconds([&] {
            benchmark::DoNotOptimize(runtext::ImportCsv(csv, "hour.csv", side, "hour.json"));
        });
        csvExport += Seconds([&] { benchmark::DoNotOptimize(runtext::ExportCsv(report.data)); });
        jsonImport +=
            Seconds([&] { benchmark::DoNotOptimize(runtext::ImportJson(json, "h.json")); });
        jsonExport += Seconds([&] { benchmark::DoNotOptimize(runtext::ExportJson(report)); });
    }
    state.counters["csv_import_ms"] = 1000 * csvImport / static_cast<double>(state.iterations());
    state.counters["csv_export_x"] = csvExport / csvImport;
    state.counters["json_import_x"] = jsonImport / csvImport;
    state.counters["json_export_x"] = jsonExport / csvImport;
}
BENCHMARK(TextRatios)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
