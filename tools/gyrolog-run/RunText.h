#pragma once

#include "runs/TasFormat.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The text twin of a run file: what gyrolog-run shows, exports and imports.
namespace runtext {

// JSON whose numbers are single floats, so that they are written in their
// shortest form and read back to the same bits.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

enum class FileStatus { Complete, CutShort, ExtraBytes, Rejected };
const char* StatusName(FileStatus status);

struct FileReport {
    FileStatus status = FileStatus::Rejected;
    int32_t version = 0;
    uint64_t size = 0;
    uint64_t expectedSize = 0; // of a complete file with the counts the file claims
    TasData data;
};

// Throws std::runtime_error when the file cannot be read.
FileReport Inspect(const std::filesystem::path& file);

// Shortest text that reads back to the same bits: "-0", "inf", "-inf", "nan"
// for the usual quiet NaN and "nan:0xBITS" for any other NaN.
std::string FloatText(float value);
std::optional<float> ParseFloat(std::string_view text);

Json InfoJson(const FileReport& report);
std::string InfoText(const FileReport& report);

std::string ExportCsv(const TasData& data);
std::string ExportJson(const FileReport& report); // the info object plus "inputs"

// A refused import: where the first problem is and what it is.
struct ImportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
TasData ImportCsv(const std::string& csv, const std::string& csvName, const std::string& side,
                  const std::string& sideName);
TasData ImportJson(const std::string& text, const std::string& name);

// The side file of a CSV export: the same path with ".json" for ".csv".
std::filesystem::path SideFilePath(std::filesystem::path csvPath);

} // namespace runtext
