#pragma once

#include "runs/record/RunTrace.h"
#include "runs/record/TasFormat.h"

#include <nlohmann/json.hpp>

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The text twin of a run file: what gyrolog-run shows, exports and imports.
//
// Imports read whatever a stranger's file holds. Memory stays under ten times
// the input's size plus a few megabytes (the JSON reader's index of 4 bytes
// per structural character, and 8 bytes per teleport frame of 2 characters,
// are the most) and time grows linearly: lines and documents are read in
// place, no line is split before its length is checked, JSON is read to a
// fixed depth and messages quote at most a few dozen characters of a value.
namespace runtext {

// JSON whose numbers are single floats, so that they are written in their
// shortest form and read back to the same bits.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// The longest CSV line and the deepest JSON nesting an import reads.
constexpr size_t MaxCsvLine = 1024;
constexpr size_t MaxJsonDepth = 64;
// Spare bytes the JSON reader needs after the text.
constexpr size_t JsonPadding = 64;

// Byte 48 (Enabled) and the padding bytes 49 to 51 of a starting-state block
// as a file holds them. The reader keeps only whether Enabled is zero, so the
// text carries these bytes where they are not the usual {0 or 1, 0, 0, 0}.
using BlockTail = std::array<uint8_t, 4>;
BlockTail UsualTail(const StartingState& state);

// A run with the bytes of its file that TasData does not keep.
struct TextRun {
    TasData data;
    BlockTail carTail{};
    BlockTail ballTail{};
};

enum class FileStatus { Complete, CutShort, ExtraBytes, Rejected };
const char* StatusName(FileStatus status);

struct FileReport {
    FileStatus status = FileStatus::Rejected;
    int32_t version = 0;
    uint64_t size = 0;
    uint64_t expectedSize = 0; // of a complete file with the counts the file claims
    std::string reason;        // why a version-1 file was rejected
    TasData data;
    BlockTail carTail{};
    BlockTail ballTail{};
};

// Throws std::runtime_error when the file cannot be read.
FileReport Inspect(const std::filesystem::path& file);

// Shortest text that reads back to the same bits: "-0", "inf", "-inf", "nan"
// for the usual quiet NaN and "nan:0xBITS" for any other NaN.
std::string FloatText(float value);
// Reads FloatText's texts and plain numbers into value; false for anything
// else. A flag rather than an optional: returning optional<float> stalled
// every call, and the importers call it for most values.
bool ParseFloat(std::string_view text, float& value);

Json InfoJson(const FileReport& report);
std::string InfoText(const FileReport& report);

// The trace file beside a run file ("NAME.data.trace"), as info reports it:
// nullopt when there is none.
std::optional<TraceReadResult> InspectTrace(const std::filesystem::path& runFile,
                                            const TasData& data);
// "trace: none" (also for an empty file), "trace: cut short" (the file ends
// in its header), "trace: N frames, belongs to the run" ("trace: K of N
// frames, ..." for a trace of the first K frames) or "trace: N frames, does
// not belong to the run: WHY"; in JSON null or {"frames", "belongs"},
// frames null when cut short.
std::string TraceText(const std::optional<TraceReadResult>& trace, uint64_t runFrames);
Json TraceJson(const std::optional<TraceReadResult>& trace);

std::string ExportCsv(const TasData& data);
std::string ExportJson(const FileReport& report); // the info object plus "inputs"

// A refused import: where the first problem is and what it is.
struct ImportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
TextRun ImportCsv(std::string_view csv, const std::string& csvName, const std::string& side,
                  const std::string& sideName);
// Reads in place when the text has simdjson's padding spare in its capacity
// (ReadTextFile leaves it), else from a padded copy.
TextRun ImportJson(const std::string& text, const std::string& name);

// A whole text file, with room for the JSON reader's padding.
std::string ReadTextFile(const std::filesystem::path& path);

// The path as UTF-8 for messages, never throwing: Windows' narrow path text
// is in the ANSI code page and refuses what that cannot hold. A name that is
// not valid UTF-8 shows as its bytes.
std::string PathText(const std::filesystem::path& path) noexcept;

// The run file: the plugin's writer, then the block tails written over its
// usual ones. The stream must be seekable.
void WriteRun(std::ostream& stream, const TextRun& run);
std::string RunFileBytes(const TextRun& run);

// The side file of a CSV export: the same path with ".json" for ".csv".
std::filesystem::path SideFilePath(std::filesystem::path csvPath);

} // namespace runtext
