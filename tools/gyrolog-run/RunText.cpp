#include "RunText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace runtext {
namespace {

constexpr uint32_t CanonicalNan = 0x7FC00000;
constexpr uint32_t NamedFlags = 0x1F;

constexpr std::array<const char*, 14> CsvColumns = {
    "frame",          "throttle",     "steer",         "pitch",      "yaw",
    "roll",           "flip_forward", "flip_sideways", "handbrake",  "jump",
    "activate_boost", "boost_held",   "jump_held",     "other_flags"};

constexpr std::array<float VehicleInput::*, 7> FloatFields = {
    &VehicleInput::Throttle,    &VehicleInput::Steer, &VehicleInput::Pitch,
    &VehicleInput::Yaw,         &VehicleInput::Roll,  &VehicleInput::FlipForward,
    &VehicleInput::FlipSideways};

constexpr std::array<uint32_t, 5> FlagBits = {
    VehicleInputFlag::Handbrake, VehicleInputFlag::Jump, VehicleInputFlag::ActivateBoost,
    VehicleInputFlag::BoostHeld, VehicleInputFlag::JumpHeld};

// "0xHEX" holding none of the five named bits, as other_flags is written.
std::optional<uint32_t> ParseOtherFlags(std::string_view text) {
    if (!(text.starts_with("0x") || text.starts_with("0X")) || text.size() == 2) {
        return std::nullopt;
    }
    uint32_t bits = 0;
    const auto digits = text.substr(2);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
        (bits & NamedFlags)) {
        return std::nullopt;
    }
    return bits;
}

// A JSON parse error at a byte position (one past the offending character,
// counted from 1), told as file:line:column.
ImportError JsonSyntaxError(const std::string& name, const std::string& text, size_t position) {
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i + 1 < position && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return ImportError(name + ":" + std::to_string(line) + ":" + std::to_string(column) +
                       ": not valid JSON");
}

Json FloatJson(float value) {
    if (std::isnan(value) || std::isinf(value)) {
        return FloatText(value);
    }
    return value;
}

Json VectorJson(const Vector& v) {
    return Json::array({FloatJson(v.X), FloatJson(v.Y), FloatJson(v.Z)});
}

Json StateJson(const StartingState& state) {
    return Json{
        {"location", VectorJson(state.Location)},
        {"rotation", Json::array({state.Rotation.Pitch, state.Rotation.Yaw, state.Rotation.Roll})},
        {"velocity", VectorJson(state.Velocity)},
        {"angular_velocity", VectorJson(state.AngularVelocity)},
        {"enabled", state.Enabled}};
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

// A float as a JSON value that reads back to the same bits: "-0" would read
// as the integer 0, so negative zero keeps its fraction.
std::string JsonFloatText(float value) {
    if (std::isnan(value) || std::isinf(value)) {
        return "\"" + FloatText(value) + "\"";
    }
    if (value == 0.0f && std::signbit(value)) {
        return "-0.0";
    }
    return FloatText(value);
}

// Reading a JSON document with paths in its error messages.
class JsonReader {
public:
    explicit JsonReader(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

    [[noreturn]] void Fail(const std::string& path, const std::string& problem) const {
        throw ImportError(name_ + ": " + path + ": " + problem);
    }

    const Json& Member(const Json& object, const std::string& path, const char* key) const {
        if (!object.is_object()) {
            Fail(path, "is not an object");
        }
        auto found = object.find(key);
        if (found == object.end()) {
            Fail(path, std::string("missing key \"") + key + "\"");
        }
        return *found;
    }

    float Float(const Json& value, const std::string& path) const {
        if (value.is_number()) {
            return value.get<float>();
        }
        if (value.is_string()) {
            if (auto parsed = ParseFloat(value.get<std::string>())) {
                return *parsed;
            }
        }
        Fail(path, "is not a number");
    }

    template <typename Int> Int Integer(const Json& value, const std::string& path) const {
        constexpr auto max = uint64_t(std::numeric_limits<Int>::max());
        if (value.is_number_unsigned()) {
            if (value.get<uint64_t>() <= max) {
                return static_cast<Int>(value.get<uint64_t>());
            }
        } else if (value.is_number_integer()) {
            const int64_t wide = value.get<int64_t>();
            if (wide >= int64_t(std::numeric_limits<Int>::min()) &&
                (wide < 0 || uint64_t(wide) <= max)) {
                return static_cast<Int>(wide);
            }
        }
        Fail(path, "is not an integer in range");
    }

    Vector VectorAt(const Json& object, const std::string& path, const char* key) const {
        const Json& value = Member(object, path, key);
        const std::string at = path + "/" + key;
        if (!value.is_array() || value.size() != 3) {
            Fail(at, "is not an array of three numbers");
        }
        return Vector{Float(value[0], at + "/0"), Float(value[1], at + "/1"),
                      Float(value[2], at + "/2")};
    }

    StartingState State(const Json& info, const char* key) const {
        const Json& object = Member(info, "", key);
        const std::string path = std::string("/") + key;
        StartingState state;
        state.Location = VectorAt(object, path, "location");
        const Json& rotation = Member(object, path, "rotation");
        if (!rotation.is_array() || rotation.size() != 3) {
            Fail(path + "/rotation", "is not an array of three integers");
        }
        state.Rotation = Rotator{Integer<int32_t>(rotation[0], path + "/rotation/0"),
                                 Integer<int32_t>(rotation[1], path + "/rotation/1"),
                                 Integer<int32_t>(rotation[2], path + "/rotation/2")};
        state.Velocity = VectorAt(object, path, "velocity");
        state.AngularVelocity = VectorAt(object, path, "angular_velocity");
        const Json& enabled = Member(object, path, "enabled");
        if (!enabled.is_boolean()) {
            Fail(path + "/enabled", "is not true or false");
        }
        state.Enabled = enabled.get<bool>();
        return state;
    }

    // Teleport frames, starting states, hitbox and sensitivities.
    void Settings(const Json& info, TasData& data) const {
        const Json& teleports = Member(info, "", "teleport_frames");
        if (!teleports.is_array()) {
            Fail("/teleport_frames", "is not an array");
        }
        for (size_t i = 0; i < teleports.size(); ++i) {
            data.TeleportFrames.push_back(
                Integer<uint64_t>(teleports[i], "/teleport_frames/" + std::to_string(i)));
        }
        data.CarStart = State(info, "car_start");
        data.BallStart = State(info, "ball_start");
        const Json& name = Member(info, "", "hitbox");
        if (!name.is_string() || !HitboxFromName(name.get<std::string>().c_str())) {
            Fail("/hitbox", "unknown hitbox name " + name.dump());
        }
        const auto named = *HitboxFromName(name.get<std::string>().c_str());
        auto value = info.find("hitbox_value");
        if (value == info.end()) {
            data.Hitbox = named;
        } else {
            data.Hitbox = static_cast<HitboxType>(Integer<int32_t>(*value, "/hitbox_value"));
            if (std::string(HitboxName(data.Hitbox)) != HitboxName(named)) {
                Fail("/hitbox", "hitbox " + name.dump() + " does not match hitbox_value " +
                                    std::to_string(static_cast<int32_t>(data.Hitbox)));
            }
        }
        data.AirSensitivity = Float(Member(info, "", "air_sensitivity"), "/air_sensitivity");
        data.SteerSensitivity = Float(Member(info, "", "steer_sensitivity"), "/steer_sensitivity");
    }

    Json Parse(const std::string& text) const {
        try {
            return Json::parse(text);
        } catch (const Json::parse_error& e) {
            throw JsonSyntaxError(name_, text, e.byte);
        }
    }

private:
    std::string name_;
};

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

} // namespace

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

FileReport Inspect(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream.is_open()) {
        throw std::runtime_error("cannot open " + file.string());
    }
    FileReport report;
    report.size = std::filesystem::file_size(file);
    const TasReadResult result = ReadTasData(stream, report.data);
    report.version = result.version;
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
    report.expectedSize = TasFileSize(report.data.Inputs.size(), report.data.TeleportFrames.size());
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

std::optional<float> ParseFloat(std::string_view text) {
    if (text == "nan") {
        return std::bit_cast<float>(CanonicalNan);
    }
    if (text.starts_with("nan:0x")) {
        uint32_t bits = 0;
        const auto digits = text.substr(6);
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
            !std::isnan(std::bit_cast<float>(bits))) {
            return std::nullopt;
        }
        return std::bit_cast<float>(bits);
    }
    if (text == "inf") {
        return std::numeric_limits<float>::infinity();
    }
    if (text == "-inf") {
        return -std::numeric_limits<float>::infinity();
    }
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        std::isnan(value) || std::isinf(value)) {
        return std::nullopt;
    }
    return value;
}

Json InfoJson(const FileReport& report) {
    Json info{
        {"status", StatusName(report.status)}, {"version", report.version}, {"size", report.size}};
    if (report.status == FileStatus::Rejected) {
        return info;
    }
    const TasData& data = report.data;
    info["expected_size"] = report.expectedSize;
    info["frames"] = data.Inputs.size();
    info["teleport_frames"] = data.TeleportFrames;
    info["car_start"] = StateJson(data.CarStart);
    info["ball_start"] = StateJson(data.BallStart);
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

std::string ExportCsv(const TasData& data) {
    std::string csv;
    for (size_t i = 0; i < CsvColumns.size(); ++i) {
        csv += (i ? "," : "");
        csv += CsvColumns[i];
    }
    csv += "\n";
    for (size_t frame = 0; frame < data.Inputs.size(); ++frame) {
        const VehicleInput& input = data.Inputs[frame];
        csv += std::to_string(frame);
        for (auto field : FloatFields) {
            csv += ",";
            csv += FloatText(input.*field);
        }
        for (uint32_t bit : FlagBits) {
            csv += (input.Flags & bit) ? ",1" : ",0";
        }
        char other[16];
        std::snprintf(other, sizeof other, ",0x%X\n", input.Flags & ~NamedFlags);
        csv += other;
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
    text += ",\n  \"inputs\": [";
    for (size_t frame = 0; frame < report.data.Inputs.size(); ++frame) {
        const VehicleInput& input = report.data.Inputs[frame];
        text += frame ? ",\n    {\"frame\":" : "\n    {\"frame\":";
        text += std::to_string(frame);
        for (size_t i = 0; i < FloatFields.size(); ++i) {
            text += ",\"";
            text += CsvColumns[i + 1];
            text += "\":";
            text += JsonFloatText(input.*FloatFields[i]);
        }
        for (size_t i = 0; i < FlagBits.size(); ++i) {
            text += ",\"";
            text += CsvColumns[i + 8];
            text += (input.Flags & FlagBits[i]) ? "\":1" : "\":0";
        }
        char other[32];
        std::snprintf(other, sizeof other, ",\"other_flags\":\"0x%X\"}", input.Flags & ~NamedFlags);
        text += other;
    }
    text += report.data.Inputs.empty() ? "]\n}" : "\n  ]\n}";
    return text;
}

TasData ImportCsv(const std::string& csv, const std::string& csvName, const std::string& side,
                  const std::string& sideName) {
    TasData data;
    std::istringstream lines(csv);
    std::string line;
    size_t lineNumber = 0;
    auto fail = [&](size_t column, const std::string& problem) -> ImportError {
        return ImportError(csvName + ":" + std::to_string(lineNumber) + ":" +
                           std::to_string(column) + ": " + problem);
    };

    // The header names the columns; they may come in any order.
    std::array<size_t, CsvColumns.size()> columnOf{};
    size_t columns = 0;
    if (!std::getline(lines, line)) {
        ++lineNumber;
        throw fail(1, "missing header line");
    }
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    {
        const auto names = SplitFields(line);
        columns = names.size();
        for (size_t c = 0; c < CsvColumns.size(); ++c) {
            size_t at = 0;
            while (at < names.size() && names[at] != CsvColumns[c]) {
                ++at;
            }
            if (at == names.size()) {
                throw fail(1, std::string("missing column \"") + CsvColumns[c] + "\"");
            }
            columnOf[c] = at;
        }
        if (columns != CsvColumns.size()) {
            throw fail(1, "unknown or repeated columns in the header");
        }
    }

    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const auto fields = SplitFields(line);
        std::vector<size_t> starts(fields.size());
        for (size_t i = 1; i < fields.size(); ++i) {
            starts[i] = starts[i - 1] + fields[i - 1].size() + 1;
        }
        if (fields.size() != columns) {
            throw fail(1, "expected " + std::to_string(columns) + " fields, found " +
                              std::to_string(fields.size()));
        }
        auto field = [&](size_t c) {
            return fields[columnOf[c]];
        };
        auto columnAt = [&](size_t c) {
            return starts[columnOf[c]] + 1;
        };

        uint64_t frame = 0;
        const auto frameText = field(0);
        const auto parsed =
            std::from_chars(frameText.data(), frameText.data() + frameText.size(), frame);
        if (frameText.empty() || parsed.ec != std::errc() ||
            parsed.ptr != frameText.data() + frameText.size()) {
            throw fail(columnAt(0), "frame is not a whole number");
        }
        if (frame != data.Inputs.size()) {
            throw fail(columnAt(0), "frame " + std::to_string(frame) + " out of order, expected " +
                                        std::to_string(data.Inputs.size()));
        }
        VehicleInput input;
        for (size_t i = 0; i < FloatFields.size(); ++i) {
            const auto value = ParseFloat(field(i + 1));
            if (!value) {
                throw fail(columnAt(i + 1), std::string(CsvColumns[i + 1]) +
                                                " is not a number: \"" + std::string(field(i + 1)) +
                                                "\"");
            }
            input.*FloatFields[i] = *value;
        }
        for (size_t i = 0; i < FlagBits.size(); ++i) {
            const auto flag = field(i + 8);
            if (flag != "0" && flag != "1") {
                throw fail(columnAt(i + 8), std::string(CsvColumns[i + 8]) + " is not 0 or 1");
            }
            input.Flags |= flag == "1" ? FlagBits[i] : 0;
        }
        const auto other = ParseOtherFlags(field(13));
        if (!other) {
            throw fail(columnAt(13),
                       "other_flags is not a hexadecimal number without the five named bits");
        }
        input.Flags |= *other;
        data.Inputs.push_back(input);
    }

    JsonReader reader(sideName);
    reader.Settings(reader.Parse(side), data);
    return data;
}

namespace {

// Reads a whole export event by event: the rows of "inputs" go straight into
// the run, everything else into a small tree. A tree of an hour's rows would
// take seconds to build.
class ExportReader : public nlohmann::json_sax<Json> {
public:
    ExportReader(const JsonReader& reader, const std::string& text, TasData& data)
        : reader_(reader), text_(text), data_(data), tree_(document) {}

    Json document;
    bool sawInputs = false;

    bool null() override {
        return Value([&] { return tree_.null(); }, "null");
    }
    bool boolean(bool value) override {
        return Value([&] { return tree_.boolean(value); }, "true or false");
    }
    bool number_integer(number_integer_t value) override {
        if (InRow()) {
            RowNumber(static_cast<float>(value), value >= 0 ? uint64_t(value) : UINT64_MAX, true);
            return true;
        }
        return Value([&] { return tree_.number_integer(value); }, "a number");
    }
    bool number_unsigned(number_unsigned_t value) override {
        if (InRow()) {
            RowNumber(static_cast<float>(value), value, true);
            return true;
        }
        return Value([&] { return tree_.number_unsigned(value); }, "a number");
    }
    bool number_float(number_float_t value, const string_t& raw) override {
        if (InRow()) {
            RowNumber(value, UINT64_MAX, false);
            return true;
        }
        return Value([&] { return tree_.number_float(value, raw); }, "a number");
    }
    bool string(string_t& value) override {
        if (InRow()) {
            RowString(value);
            return true;
        }
        return Value([&] { return tree_.string(value); }, "a string");
    }
    bool binary(binary_t& value) override { return tree_.binary(value); }

    bool start_object(std::size_t size) override {
        ++depth_;
        if (inInputs_ && depth_ == 3) {
            row_ = VehicleInput{};
            seen_ = 0;
            return true;
        }
        if (inInputs_) {
            Fail(RowPath(), "holds a nested object");
        }
        return tree_.start_object(size);
    }
    bool key(string_t& name) override {
        if (InRow()) {
            key_.swap(name);
            return true;
        }
        if (depth_ == 1) {
            expectInputs_ = name == "inputs";
            sawInputs = sawInputs || expectInputs_;
        }
        return tree_.key(name);
    }
    bool end_object() override {
        if (InRow()) {
            FinishRow();
            --depth_;
            return true;
        }
        --depth_;
        return tree_.end_object();
    }
    bool start_array(std::size_t size) override {
        ++depth_;
        if (inInputs_) {
            Fail(inInputs_ && depth_ == 3 ? RowPath() : RowPath() + "/" + key_,
                 "is not an object of one frame");
        }
        if (expectInputs_ && depth_ == 2) {
            inInputs_ = true;
        }
        return tree_.start_array(size);
    }
    bool end_array() override {
        if (inInputs_ && depth_ == 2) {
            inInputs_ = false;
        }
        --depth_;
        return tree_.end_array();
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override {
        throw JsonSyntaxError(reader_.Name(), text_, position);
    }

private:
    bool InRow() const { return inInputs_ && depth_ == 3; }
    std::string RowPath() const { return "/inputs/" + std::to_string(data_.Inputs.size()); }
    std::string KeyPath() const { return RowPath() + "/" + key_; }
    [[noreturn]] void Fail(const std::string& path, const std::string& problem) const {
        reader_.Fail(path, problem);
    }

    // A value outside the rows; a value that stands in "inputs" itself is no row.
    template <typename Forward> bool Value(Forward forward, const char* what) {
        if (inInputs_ && depth_ == 2) {
            Fail(RowPath(), std::string("is ") + what + ", not an object of one frame");
        }
        if (InRow()) {
            Fail(RowPath() + "/" + key_, std::string("is ") + what);
        }
        return forward();
    }

    int Column() const {
        // Rows come with their keys in column order: try the next one first.
        const size_t next = std::popcount(seen_);
        if (next < CsvColumns.size() && key_ == std::string_view(CsvColumns[next])) {
            return static_cast<int>(next);
        }
        for (size_t i = 0; i < CsvColumns.size(); ++i) {
            if (key_ == std::string_view(CsvColumns[i])) {
                return static_cast<int>(i);
            }
        }
        Fail(KeyPath(), "is not a column of a frame");
    }

    void Mark(int column) {
        if (seen_ & (1u << column)) {
            Fail(RowPath() + "/" + key_, "appears twice");
        }
        seen_ |= 1u << column;
    }

    void RowNumber(float value, uint64_t whole, bool integer) {
        const int column = Column();
        Mark(column);
        if (column == 0) {
            if (!integer || whole != data_.Inputs.size()) {
                Fail(KeyPath(), "out of order, expected " + std::to_string(data_.Inputs.size()));
            }
        } else if (column <= 7) {
            row_.*FloatFields[column - 1] = value;
        } else if (column <= 12) {
            if (!integer || whole > 1) {
                Fail(KeyPath(), "is not 0 or 1");
            }
            row_.Flags |= whole ? FlagBits[column - 8] : 0;
        } else {
            Fail(KeyPath(), "is not a hexadecimal text without the five named bits");
        }
    }

    void RowString(const std::string& text) {
        const int column = Column();
        Mark(column);
        if (column >= 1 && column <= 7) {
            const auto value = ParseFloat(text);
            if (!value) {
                Fail(KeyPath(), "is not a number");
            }
            row_.*FloatFields[column - 1] = *value;
            return;
        }
        const auto bits = column == 13 ? ParseOtherFlags(text) : std::nullopt;
        if (!bits) {
            Fail(KeyPath(), column == 13 ? "is not a hexadecimal text without the five named bits"
                                         : "is not a number");
        }
        row_.Flags |= *bits;
    }

    void FinishRow() {
        for (size_t i = 0; i < CsvColumns.size(); ++i) {
            if (!(seen_ & (1u << i))) {
                Fail(RowPath(), std::string("missing key \"") + CsvColumns[i] + "\"");
            }
        }
        data_.Inputs.push_back(row_);
    }

    const JsonReader& reader_;
    const std::string& text_;
    TasData& data_;
    nlohmann::detail::json_sax_dom_parser<Json> tree_;
    int depth_ = 0;
    bool expectInputs_ = false;
    bool inInputs_ = false;
    VehicleInput row_;
    uint32_t seen_ = 0;
    std::string key_;
};

} // namespace

TasData ImportJson(const std::string& text, const std::string& name) {
    JsonReader reader(name);
    TasData data;
    ExportReader events(reader, text, data);
    Json::sax_parse(text, &events);
    if (!events.sawInputs) {
        reader.Fail("", "missing key \"inputs\"");
    }
    reader.Settings(events.document, data);
    return data;
}

std::filesystem::path SideFilePath(std::filesystem::path csvPath) {
    return csvPath.replace_extension(".json");
}

} // namespace runtext
