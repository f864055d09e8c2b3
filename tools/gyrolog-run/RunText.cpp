#include "RunText.h"
#include "TextRules.h"
#include "runs/files/RunFile.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace runtext {
namespace {

constexpr uint32_t CanonicalNan = 0x7FC00000;

// Offset of the Enabled byte in a starting-state block.
constexpr uint64_t EnabledOffset = 48;

Json FloatJson(float value) {
    if (std::isnan(value) || std::isinf(value)) {
        return FloatText(value);
    }
    return value;
}

Json VectorJson(const Vector& v) {
    return Json::array({FloatJson(v.X), FloatJson(v.Y), FloatJson(v.Z)});
}

Json StateJson(const StartingState& state, const BlockTail& tail) {
    Json json{
        {"location", VectorJson(state.Location)},
        {"rotation", Json::array({state.Rotation.Pitch, state.Rotation.Yaw, state.Rotation.Roll})},
        {"velocity", VectorJson(state.Velocity)},
        {"angular_velocity", VectorJson(state.AngularVelocity)},
        {"enabled", state.Enabled}};
    if (tail[0] > 1) {
        json["enabled_byte"] = tail[0];
    }
    if (tail[1] || tail[2] || tail[3]) {
        json["padding"] = Json::array({tail[1], tail[2], tail[3]});
    }
    return json;
}

std::string VectorText(const Vector& v) {
    return FloatText(v.X) + " " + FloatText(v.Y) + " " + FloatText(v.Z);
}

std::string StateText(const StartingState& state) {
    const auto& r = state.Rotation;
    return std::string(state.Enabled ? "enabled" : "disabled") + ", location " +
           VectorText(state.Location) + ", rotation " + std::to_string(r.Pitch) + " " +
           std::to_string(r.Yaw) + " " + std::to_string(r.Roll) + ", velocity " +
           VectorText(state.Velocity) + ", angular velocity " + VectorText(state.AngularVelocity);
}

// Appenders for the exports: an hour's run has millions of values, so they
// format into the output without temporaries.
void AppendFloat(std::string& out, float value) {
    if (std::isnan(value)) {
        out += FloatText(value);
        return;
    }
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A float as a JSON value that reads back to the same bits: "-0" would read
// as the integer 0, so negative zero keeps its fraction.
void AppendJsonFloat(std::string& out, float value) {
    if (std::isnan(value) || std::isinf(value)) {
        out += '"';
        out += FloatText(value);
        out += '"';
    } else if (value == 0.0f && std::signbit(value)) {
        out += "-0.0";
    } else {
        AppendFloat(out, value);
    }
}

void AppendWhole(std::string& out, uint64_t value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendOtherFlags(std::string& out, uint32_t flags) {
    char text[16] = {'0', 'x'};
    char* end = std::to_chars(text + 2, text + sizeof text, flags & ~NamedFlags, 16).ptr;
    for (char* c = text + 2; c != end; ++c) {
        *c = (*c >= 'a') ? static_cast<char>(*c - 'a' + 'A') : *c;
    }
    out.append(text, end);
}

void RequireFile(const fs::path& path) {
    std::error_code error;
    const auto status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        throw std::runtime_error("cannot open " + PathText(path) + ": no such file");
    }
    if (status.type() == fs::file_type::directory) {
        throw std::runtime_error("cannot open " + PathText(path) + ": it is a folder");
    }
}

// The Enabled byte and padding of the block at offset, or the usual ones
// when the file does not hold them all.
BlockTail ReadTail(std::istream& stream, uint64_t offset, const StartingState& state) {
    BlockTail tail;
    stream.clear();
    stream.seekg(static_cast<std::streamoff>(offset + EnabledOffset));
    stream.read(reinterpret_cast<char*>(tail.data()), tail.size());
    return stream.gcount() == static_cast<std::streamsize>(tail.size()) ? tail : UsualTail(state);
}

} // namespace

BlockTail UsualTail(const StartingState& state) {
    return {static_cast<uint8_t>(state.Enabled ? 1 : 0), 0, 0, 0};
}

const char* StatusName(FileStatus status) {
    switch (status) {
    case FileStatus::Complete:
        return "complete";
    case FileStatus::CutShort:
        return "cut_short";
    case FileStatus::ExtraBytes:
        return "extra_bytes";
    case FileStatus::Rejected:
        break;
    }
    return "rejected";
}

FileReport Inspect(const fs::path& file) {
    RequireFile(file);
    std::ifstream stream(file, std::ios::binary);
    if (!stream.is_open()) {
        throw std::runtime_error("cannot open " + PathText(file));
    }
    FileReport report;
    report.size = fs::file_size(file);
    const TasReadResult result = ReadTasData(stream, report.data);
    report.version = result.version;
    report.reason = result.error;
    switch (result.outcome) {
    case ReadOutcome::Rejected:
    case ReadOutcome::TooLarge:
        report.status = FileStatus::Rejected;
        return report;
    case ReadOutcome::CutShort:
        report.status = FileStatus::CutShort;
        break;
    case ReadOutcome::Loaded:
        report.status = result.extraBytes ? FileStatus::ExtraBytes : FileStatus::Complete;
        break;
    }
    const TasData& data = report.data;
    report.expectedSize = TasFileSize(data.Inputs.size(), data.TeleportFrames.size());
    const uint64_t carBlock = report.expectedSize - TasFixedBytes + 20;
    report.carTail = ReadTail(stream, carBlock, data.CarStart);
    report.ballTail = ReadTail(stream, carBlock + StartingStateBytes, data.BallStart);
    return report;
}

std::string FloatText(float value) {
    if (std::isnan(value)) {
        const auto bits = std::bit_cast<uint32_t>(value);
        if (bits == CanonicalNan) {
            return "nan";
        }
        char text[24];
        std::snprintf(text, sizeof text, "nan:0x%08X", bits);
        return text;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

bool ParseFloat(std::string_view text, float& value) {
    const char* end = text.data() + text.size();
    if (!text.empty() &&
        ((text[0] >= '0' && text[0] <= '9') ||
         (text.size() > 1 && text[0] == '-' && text[1] >= '0' && text[1] <= '9'))) {
        const auto result = std::from_chars(text.data(), end, value);
        return result.ec == std::errc() && result.ptr == end;
    }
    if (text == "nan") {
        value = std::bit_cast<float>(CanonicalNan);
        return true;
    }
    if (text.starts_with("nan:0x")) {
        uint32_t bits = 0;
        const auto digits = text.substr(6);
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
            !std::isnan(std::bit_cast<float>(bits))) {
            return false;
        }
        value = std::bit_cast<float>(bits);
        return true;
    }
    if (text == "inf" || text == "-inf") {
        value = text == "inf" ? std::numeric_limits<float>::infinity()
                              : -std::numeric_limits<float>::infinity();
        return true;
    }
    return false;
}

Json InfoJson(const FileReport& report) {
    Json info{
        {"status", StatusName(report.status)}, {"version", report.version}, {"size", report.size}};
    if (report.status == FileStatus::Rejected) {
        if (!report.reason.empty()) {
            info["reason"] = report.reason;
        }
        return info;
    }
    const TasData& data = report.data;
    info["expected_size"] = report.expectedSize;
    info["frames"] = data.Inputs.size();
    info["teleport_frames"] = data.TeleportFrames;
    info["car_start"] = StateJson(data.CarStart, report.carTail);
    info["ball_start"] = StateJson(data.BallStart, report.ballTail);
    info["hitbox"] = HitboxName(data.Hitbox);
    info["hitbox_value"] = static_cast<int32_t>(data.Hitbox);
    info["air_sensitivity"] = FloatJson(data.AirSensitivity);
    info["steer_sensitivity"] = FloatJson(data.SteerSensitivity);
    return info;
}

std::string InfoText(const FileReport& report) {
    std::ostringstream out;
    out << "status: " << StatusName(report.status) << "\n"
        << "version: " << report.version << "\n";
    if (report.status == FileStatus::Rejected) {
        if (!report.reason.empty()) {
            out << "reason: " << report.reason << "\n";
        }
        out << "size: " << report.size << " bytes\n";
        return out.str();
    }
    const TasData& data = report.data;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(data.Inputs.size()) / 120.0);
    out << "frames: " << data.Inputs.size() << " (" << seconds << " s at 120 ticks a second)\n"
        << "teleport frames: " << data.TeleportFrames.size();
    for (size_t i = 0; i < data.TeleportFrames.size(); ++i) {
        out << (i == 0 ? " (" : ", ") << data.TeleportFrames[i];
    }
    out << (data.TeleportFrames.empty() ? "" : ")") << "\n"
        << "car start: " << StateText(data.CarStart) << "\n"
        << "ball start: " << StateText(data.BallStart) << "\n"
        << "hitbox: " << HitboxName(data.Hitbox) << " (" << static_cast<int32_t>(data.Hitbox)
        << ")\n"
        << "air sensitivity: " << FloatText(data.AirSensitivity) << "\n"
        << "steer sensitivity: " << FloatText(data.SteerSensitivity) << "\n"
        << "size: " << report.size << " bytes, expected " << report.expectedSize << "\n";
    return out.str();
}

std::optional<TraceReadResult> InspectTrace(const fs::path& runFile, const TasData& data) {
    const fs::path trace = TracePath(runFile);
    std::error_code error;
    if (!fs::is_regular_file(trace, error)) {
        return std::nullopt;
    }
    std::ifstream stream(trace, std::ios::binary);
    std::vector<TraceEntry> entries;
    std::vector<Keyframe> keyframes;
    return ReadTrace(stream, data, entries, keyframes);
}

std::string TraceText(const std::optional<TraceReadResult>& trace, uint64_t runFrames) {
    // An empty file holds no trace; one that ends in its header tells no count.
    if (!trace || trace->fit == TraceFit::Empty) {
        return "trace: none\n";
    }
    if (trace->fit == TraceFit::HeaderCutShort) {
        return "trace: cut short\n";
    }
    std::string text = "trace: " + std::to_string(trace->frames) + " frames, ";
    if (trace->fit == TraceFit::Belongs) {
        // A trace of the first frames only: replays are checked that far.
        if (trace->frames < runFrames) {
            text = "trace: " + std::to_string(trace->frames) + " of " + std::to_string(runFrames) +
                   " frames, ";
        }
        return text + "belongs to the run\n";
    }
    // The plugin's own line says why; keep only its reason.
    const std::string line = IgnoredTraceLine("", *trace, runFrames);
    return text + "does not belong to the run: " + line.substr(line.find(": ") + 2) + "\n";
}

Json TraceJson(const std::optional<TraceReadResult>& trace) {
    if (!trace || trace->fit == TraceFit::Empty) {
        return nullptr;
    }
    if (trace->fit == TraceFit::HeaderCutShort) {
        return Json{{"frames", nullptr}, {"belongs", false}};
    }
    return Json{{"frames", trace->frames}, {"belongs", trace->fit == TraceFit::Belongs}};
}

std::string ExportCsv(const TasData& data) {
    std::string csv;
    csv.reserve(128 + 64 * data.Inputs.size());
    for (size_t i = 0; i < CsvColumns.size(); ++i) {
        csv += (i ? "," : "");
        csv += CsvColumns[i];
    }
    csv += '\n';
    for (size_t frame = 0; frame < data.Inputs.size(); ++frame) {
        const VehicleInput& input = data.Inputs[frame];
        AppendWhole(csv, frame);
        for (auto field : FloatFields) {
            csv += ',';
            AppendFloat(csv, input.*field);
        }
        for (uint32_t bit : FlagBits) {
            csv += (input.Flags & bit) ? ",1" : ",0";
        }
        csv += ',';
        AppendOtherFlags(csv, input.Flags);
        csv += '\n';
    }
    return csv;
}

std::string ExportJson(const FileReport& report) {
    // The info object is small; the inputs are written row by row, one a line,
    // because a document of an hour's frames is too big to build as a tree.
    std::string text = InfoJson(report).dump(2);
    text.pop_back(); // the closing brace
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    text.reserve(text.size() + 64 + 224 * report.data.Inputs.size());
    text += ",\n  \"inputs\": [";
    for (size_t frame = 0; frame < report.data.Inputs.size(); ++frame) {
        const VehicleInput& input = report.data.Inputs[frame];
        text += frame ? ",\n    {\"frame\":" : "\n    {\"frame\":";
        AppendWhole(text, frame);
        for (size_t i = 0; i < FloatFields.size(); ++i) {
            text += ",\"";
            text += CsvColumns[FirstFloatColumn + i];
            text += "\":";
            AppendJsonFloat(text, input.*FloatFields[i]);
        }
        for (size_t i = 0; i < FlagBits.size(); ++i) {
            text += ",\"";
            text += CsvColumns[FirstFlagColumn + i];
            text += (input.Flags & FlagBits[i]) ? "\":1" : "\":0";
        }
        text += ",\"other_flags\":\"";
        AppendOtherFlags(text, input.Flags);
        text += "\"}";
    }
    text += report.data.Inputs.empty() ? "]\n}" : "\n  ]\n}";
    return text;
}

std::string PathText(const fs::path& path) noexcept {
    try {
        return Utf8FromPath(path);
    } catch (...) {
    }
    try {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (...) {
    }
    return "(a path that is not text)";
}

std::string ReadTextFile(const fs::path& path) {
    RequireFile(path);
    std::ifstream stream(path, std::ios::binary);
    if (!stream.is_open()) {
        throw std::runtime_error("cannot open " + PathText(path));
    }
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error) {
        throw std::runtime_error("cannot read " + PathText(path) + ": " + error.message());
    }
    std::string text;
    text.reserve(size + JsonPadding);
    text.resize(size);
    stream.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<uint64_t>(stream.gcount()) != size) {
        throw std::runtime_error("cannot read " + PathText(path));
    }
    return text;
}

void WriteRun(std::ostream& stream, const TextRun& run) {
    const auto start = stream.tellp();
    WriteTas(stream, run.data);
    const auto end = stream.tellp();
    const auto carBlock = static_cast<std::streamoff>(
        TasFileSize(run.data.Inputs.size(), run.data.TeleportFrames.size()) - TasFixedBytes + 20);
    stream.seekp(start + carBlock + static_cast<std::streamoff>(EnabledOffset));
    stream.write(reinterpret_cast<const char*>(run.carTail.data()), run.carTail.size());
    stream.seekp(start + carBlock +
                 static_cast<std::streamoff>(StartingStateBytes + EnabledOffset));
    stream.write(reinterpret_cast<const char*>(run.ballTail.data()), run.ballTail.size());
    stream.seekp(end);
}

std::string RunFileBytes(const TextRun& run) {
    std::ostringstream stream;
    WriteRun(stream, run);
    return std::move(stream).str();
}

fs::path SideFilePath(fs::path csvPath) {
    return csvPath.replace_extension(".json");
}

} // namespace runtext
