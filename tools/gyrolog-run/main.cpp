// gyrolog-run: inspect, check, export and import run files outside the game.
#include "RunText.h"
#include "runs/files/RunFile.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cctype>
#include <iostream>

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& text) {
    WriteFileAtomically(path, [&](std::ostream& stream) { stream << text; });
}

// Writes both files or neither: each is written beside its target first, and
// the old files are kept aside until both new ones are in place.
void WriteBoth(const fs::path& first, const std::string& firstText, const fs::path& second,
               const std::string& secondText) {
    const std::array<fs::path, 2> targets{first, second};
    std::array<fs::path, 2> kept;
    for (size_t i = 0; i < 2; ++i) {
        if (fs::is_directory(targets[i])) {
            throw std::runtime_error("cannot write " + runtext::PathText(targets[i]) +
                                     ": it is a folder");
        }
        kept[i] = fs::path(targets[i]) += ".old";
    }
    std::array<fs::path, 2> staged;
    std::error_code ignored;
    size_t placed = 0;
    try {
        staged[0] = WriteBeside(first, [&](std::ostream& stream) { stream << firstText; });
        staged[1] = WriteBeside(second, [&](std::ostream& stream) { stream << secondText; });
        for (size_t i = 0; i < 2; ++i) {
            if (fs::exists(targets[i])) {
                fs::rename(targets[i], kept[i]);
            }
        }
        for (; placed < 2; ++placed) {
            fs::rename(staged[placed], targets[placed]);
        }
    } catch (...) {
        for (size_t i = 0; i < 2; ++i) {
            if (i < placed) {
                fs::remove(targets[i], ignored);
            }
            if (fs::exists(kept[i])) {
                fs::rename(kept[i], targets[i], ignored);
            }
            if (!staged[i].empty()) {
                fs::remove(staged[i], ignored);
            }
        }
        throw;
    }
    for (const auto& old : kept) {
        fs::remove(old, ignored);
    }
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

int Info(const fs::path& file, bool json) {
    const auto report = runtext::Inspect(file);
    const bool read = report.status != runtext::FileStatus::Rejected;
    const auto trace = read ? runtext::InspectTrace(file, report.data) : std::nullopt;
    if (json) {
        auto info = runtext::InfoJson(report);
        if (read) {
            info["trace"] = runtext::TraceJson(trace);
        }
        std::cout << info.dump(2) << "\n";
    } else {
        std::cout << "file: " << runtext::PathText(file) << "\n" << runtext::InfoText(report);
        if (read) {
            std::cout << runtext::TraceText(trace, report.data.Inputs.size());
        }
    }
    return 0;
}

int Check(const std::vector<fs::path>& files) {
    int status = 0;
    for (const auto& file : files) {
        try {
            const auto report = runtext::Inspect(file);
            std::cout << runtext::PathText(file) << ": " << runtext::StatusName(report.status);
            switch (report.status) {
            case runtext::FileStatus::Complete:
                break;
            case runtext::FileStatus::CutShort:
            case runtext::FileStatus::ExtraBytes:
                std::cout << " (" << report.size << " bytes, expected " << report.expectedSize
                          << ")";
                status = std::max(status, 1);
                break;
            case runtext::FileStatus::Rejected:
                std::cout << " (version " << report.version
                          << (report.reason.empty() ? "" : ": " + report.reason) << ")";
                status = 2;
                break;
            }
            std::cout << "\n";
        } catch (const std::exception& e) {
            std::cout << runtext::PathText(file) << ": unreadable (" << e.what() << ")\n";
            status = 2;
        }
    }
    return status;
}

int Export(const fs::path& file, bool csv, bool json, const fs::path& out) {
    const auto report = runtext::Inspect(file);
    if (report.status == runtext::FileStatus::Rejected) {
        throw std::runtime_error(runtext::PathText(file) +
                                 " is not a run file this version reads (version " +
                                 std::to_string(report.version) +
                                 (report.reason.empty() ? "" : ": " + report.reason) + ")");
    }
    if (report.status == runtext::FileStatus::CutShort) {
        std::cerr << "gyrolog-run: warning: " << runtext::PathText(file)
                  << " is cut short; its missing bytes are exported as zero\n";
    }
    if (report.status == runtext::FileStatus::ExtraBytes) {
        std::cerr << "gyrolog-run: warning: " << runtext::PathText(file) << " has "
                  << report.size - report.expectedSize
                  << " bytes after the run; they are not exported\n";
    }
    const bool asCsv = csv || (!json && out.extension() == ".csv");
    if (asCsv) {
        if (out.empty()) {
            throw std::runtime_error("a CSV export needs -o OUT.csv for its side file");
        }
        const fs::path side = runtext::SideFilePath(out);
        if (Lower(runtext::PathText(side)) == Lower(runtext::PathText(out))) {
            throw std::runtime_error("a CSV export cannot go to " + runtext::PathText(out) +
                                     ": its side file has that name; use -o NAME.csv");
        }
        WriteBoth(out, runtext::ExportCsv(report.data), side,
                  runtext::InfoJson(report).dump(2) + "\n");
    } else if (out.empty()) {
        std::cout << runtext::ExportJson(report) << "\n";
    } else {
        WriteText(out, runtext::ExportJson(report) + "\n");
    }
    return 0;
}

// Not "Import": the host's wrapperstructs.h has a global enumerator of that name.
int ImportRun(const fs::path& in, const fs::path& out) {
    runtext::TextRun run;
    if (in.extension() == ".csv") {
        const std::string csv = runtext::ReadTextFile(in);
        const fs::path side = runtext::SideFilePath(in);
        run = runtext::ImportCsv(csv, runtext::PathText(in), runtext::ReadTextFile(side),
                                 runtext::PathText(side));
    } else {
        run = runtext::ImportJson(runtext::ReadTextFile(in), runtext::PathText(in));
    }
    WriteFileAtomically(out, [&](std::ostream& stream) { runtext::WriteRun(stream, run); });
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Inspect, check, export and import Gyrolog run files."};
    app.require_subcommand(1);
    // "/Users/me/run.data" is a path on Windows too, never an option.
    app.allow_windows_style_options(false);

    fs::path infoFile;
    bool infoJson = false;
    auto* info = app.add_subcommand("info", "What a run file holds and whether it is whole");
    info->add_option("FILE", infoFile, "the run file")->required();
    info->add_flag("--json", infoJson, "one JSON object instead of text");

    std::vector<fs::path> checkFiles;
    auto* check = app.add_subcommand(
        "check", "One line per file; exit 0 all complete, 1 cut short or extra bytes, 2 rejected");
    check->add_option("FILE", checkFiles, "run files")->required();

    fs::path exportFile;
    fs::path exportOut;
    bool exportCsv = false;
    bool exportJson = false;
    auto* exporter =
        app.add_subcommand("export", "The whole run as CSV (with a JSON side file) or JSON");
    exporter->add_option("FILE", exportFile, "the run file")->required();
    auto* csvFlag = exporter->add_flag("--csv", exportCsv, "CSV frames, the rest in OUT.json");
    exporter->add_flag("--json", exportJson, "one JSON document")->excludes(csvFlag);
    exporter->add_option("-o,--output", exportOut,
                         "where to write (JSON goes to standard output without it)");

    fs::path importIn;
    fs::path importOut;
    auto* importer = app.add_subcommand("import", "Build a run file from an export");
    importer->add_option("IN", importIn, "a .csv (with its .json side file) or a .json export")
        ->required();
    importer->add_option("-o,--output", importOut, "the run file to write")->required();

    CLI11_PARSE(app, argc, argv);
    try {
        if (*info) {
            return Info(infoFile, infoJson);
        }
        if (*check) {
            return Check(checkFiles);
        }
        if (*exporter) {
            return Export(exportFile, exportCsv, exportJson, exportOut);
        }
        return ImportRun(importIn, importOut);
    } catch (const std::exception& e) {
        std::cerr << "gyrolog-run: " << e.what() << "\n";
        return 2;
    }
}
