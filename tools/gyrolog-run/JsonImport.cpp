// JSON exports and side files, read with simdjson's On-Demand API: it walks
// the text in place, so an hour's frames go straight into the run. It
// neither limits depth nor checks values it skips, so every value is read
// here, and values under unknown keys are walked to MaxJsonDepth.
#include "RunText.h"
#include "TextRules.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace runtext {
namespace {

namespace od = simdjson::ondemand;
static_assert(JsonPadding >= simdjson::SIMDJSON_PADDING);

std::string_view TrimEnd(std::string_view token) {
    while (!token.empty() && (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' ||
                              token.back() == '\r')) {
        token.remove_suffix(1);
    }
    return token;
}

// The JSON number grammar; simdjson leaves the tokens it is not asked to
// convert unchecked, and from_chars alone takes "01" or "1.".
bool IsJsonNumber(std::string_view token) {
    size_t i = token.starts_with('-') ? 1 : 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    const size_t whole = digits();
    if (whole == 0 || (whole > 1 && token[i - whole] == '0')) {
        return false;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        if (digits() == 0) {
            return false;
        }
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        i += i < token.size() && (token[i] == '+' || token[i] == '-');
        if (digits() == 0) {
            return false;
        }
    }
    return i == token.size();
}

// A place in the document, spelled out only when something there is refused:
// an hour's frames hold millions of places.
struct Path {
    const Path* parent = nullptr;
    std::string_view key;
    size_t index = 0;

    Path Key(std::string_view name) const { return Path{this, name, 0}; }
    Path Index(size_t at) const { return Path{this, {}, at}; }

    std::string Text() const {
        if (!parent) {
            return "";
        }
        constexpr size_t MaxShown = 32;
        const std::string step =
            key.data() ? std::string(key.substr(0, MaxShown)) + (key.size() > MaxShown ? "..." : "")
                       : std::to_string(index);
        return parent->Text() + "/" + step;
    }
};

// Keys that an object may hold once each; others are allowed once too.
class KeySet {
public:
    explicit KeySet(std::initializer_list<const char*> known)
        : known_(known.begin(), known.end()) {}

    // The index of a known key, or -1; refuses a key seen before.
    template <typename Fail> int See(std::string_view key, Fail fail) {
        const auto found = std::find(known_.begin(), known_.end(), key);
        const int index = found == known_.end() ? -1 : static_cast<int>(found - known_.begin());
        const bool repeated = index >= 0 ? (seen_ >> index) & 1 : !others_.emplace(key).second;
        if (repeated) {
            fail("appears twice");
        }
        if (index >= 0) {
            seen_ |= 1u << index;
        }
        return index;
    }
    bool Has(int index) const { return (seen_ >> index) & 1; }
    std::string_view Name(int index) const { return known_[index]; }

private:
    std::vector<std::string_view> known_;
    uint32_t seen_ = 0;
    std::set<std::string, std::less<>> others_;
};

class JsonImport {
public:
    JsonImport(const std::string& text, const std::string& name) : text_(text), name_(name) {
        if (text.capacity() - text.size() >= simdjson::SIMDJSON_PADDING) {
            view_ = simdjson::padded_string_view(text.data(), text.size(), text.capacity());
        } else {
            copy_ = simdjson::padded_string(text);
            view_ = copy_;
        }
    }

    // Fills run; the frames only when sideFile is false.
    void Read(TextRun& run, bool sideFile) {
        try {
            document_ = parser_.iterate(view_);
            iterated_ = true;
            ReadDocument(run, sideFile);
        } catch (const simdjson::simdjson_error& e) {
            throw SyntaxError(e.what());
        }
    }

private:
    enum TopKey {
        Status,
        Version,
        Size,
        ExpectedSize,
        Frames,
        TeleportFrames,
        CarStart,
        BallStart,
        Hitbox,
        HitboxValue,
        AirSensitivity,
        SteerSensitivity,
        Inputs
    };

    [[noreturn]] void Fail(const Path& path, const std::string& problem) const {
        const std::string place = path.Text();
        throw ImportError(name_ + ": " + (place.empty() ? "" : place + ": ") + problem);
    }

    ImportError SyntaxError(const std::string& problem) {
        if (!iterated_) {
            return ImportError(name_ + ": not valid JSON: " + problem);
        }
        const char* at = text_.data() + text_.size();
        const char* location = nullptr;
        if (!document_.current_location().get(location) && location >= view_.data() &&
            location < view_.data() + view_.size()) {
            at = text_.data() + (location - view_.data());
        }
        const auto before = std::string_view(text_.data(), static_cast<size_t>(at - text_.data()));
        const size_t line = static_cast<size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
        const size_t lineStart = before.rfind('\n');
        const size_t column =
            before.size() - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
        return ImportError(name_ + ":" + std::to_string(line) + ":" + std::to_string(column) +
                           ": not valid JSON: " + problem);
    }

    void ReadDocument(TextRun& run, bool sideFile) {
        if (document_.type() != od::json_type::object) {
            Fail(Path{}, "is not a JSON object");
        }
        KeySet keys{
            "status",          "version",           "size",       "expected_size", "frames",
            "teleport_frames", "car_start",         "ball_start", "hitbox",        "hitbox_value",
            "air_sensitivity", "steer_sensitivity", "inputs"};
        std::optional<HitboxType> named;
        std::string hitboxText;
        const Path root;
        for (auto field : document_.get_object()) {
            const std::string_view key = field.unescaped_key();
            const Path path = root.Key(key);
            od::value value = field.value();
            switch (keys.See(key, [&](const char* problem) { Fail(path, problem); })) {
            case Status:
                String(value, path);
                break;
            case Version:
                Whole<int32_t>(value, path);
                break;
            case Size:
            case ExpectedSize:
            case Frames:
                Whole<uint64_t>(value, path);
                break;
            case TeleportFrames:
                ReadTeleports(value, path, run.data.TeleportFrames);
                break;
            case CarStart:
                ReadState(value, path, run.data.CarStart, run.carTail);
                break;
            case BallStart:
                ReadState(value, path, run.data.BallStart, run.ballTail);
                break;
            case Hitbox: {
                const std::string_view text = String(value, path);
                named = text.size() < 16 ? HitboxFromName(std::string(text).c_str()) : std::nullopt;
                hitboxText = Quote(text);
                break;
            }
            case HitboxValue:
                run.data.Hitbox = static_cast<HitboxType>(Whole<int32_t>(value, path));
                break;
            case AirSensitivity:
                run.data.AirSensitivity = Float(value, path);
                break;
            case SteerSensitivity:
                run.data.SteerSensitivity = Float(value, path);
                break;
            case Inputs:
                if (sideFile) {
                    Fail(path, "is in a side file: the frames of a CSV import come from the CSV");
                }
                ReadInputs(value, path, run.data.Inputs);
                break;
            default:
                Walk(value, path, 2);
                break;
            }
        }
        // A location inside the text after the object means more follows.
        const char* rest = nullptr;
        if (!document_.current_location().get(rest)) {
            throw SyntaxError("text after the document");
        }
        for (int key = TeleportFrames; key <= Inputs; ++key) {
            const bool optional = key == HitboxValue || (key == Inputs && sideFile);
            if (!optional && !keys.Has(key)) {
                Fail(root.Key(keys.Name(key)), "is missing");
            }
        }
        if (!named) {
            Fail(root.Key("hitbox"), "is not a hitbox name: " + hitboxText);
        }
        if (!keys.Has(HitboxValue)) {
            run.data.Hitbox = *named;
        } else if (std::string_view(HitboxName(run.data.Hitbox)) != HitboxName(*named)) {
            Fail(root.Key("hitbox"), hitboxText + " does not match hitbox_value " +
                                         std::to_string(static_cast<int32_t>(run.data.Hitbox)));
        }
    }

    void ReadTeleports(od::value& value, const Path& path, std::vector<uint64_t>& frames) {
        if (value.type() != od::json_type::array) {
            Fail(path, "is not an array of frame numbers");
        }
        od::array array = value.get_array();
        frames.reserve(array.count_elements()); // growing would take half as much again
        for (auto element : array) {
            od::value frame = element.value();
            frames.push_back(Whole<uint64_t>(frame, path.Index(frames.size())));
        }
    }

    void ReadState(od::value& value, const Path& path, StartingState& state, BlockTail& tail) {
        enum { Location, Rotation, Velocity, AngularVelocity, Enabled, EnabledByte, Padding };
        if (value.type() != od::json_type::object) {
            Fail(path, "is not an object");
        }
        KeySet keys{"location", "rotation",     "velocity", "angular_velocity",
                    "enabled",  "enabled_byte", "padding"};
        uint8_t enabledByte = 0;
        for (auto field : value.get_object()) {
            const std::string_view key = field.unescaped_key();
            const Path at = path.Key(key);
            od::value member = field.value();
            switch (keys.See(key, [&](const char* problem) { Fail(at, problem); })) {
            case Location:
                state.Location = ReadVector(member, at);
                break;
            case Rotation: {
                std::array<int32_t, 3> r{};
                ReadTriple(
                    member, at, "is not an array of three whole numbers",
                    [&](od::value& v, const Path& p, size_t i) { r[i] = Whole<int32_t>(v, p); });
                state.Rotation = Rotator{r[0], r[1], r[2]};
                break;
            }
            case Velocity:
                state.Velocity = ReadVector(member, at);
                break;
            case AngularVelocity:
                state.AngularVelocity = ReadVector(member, at);
                break;
            case Enabled:
                if (member.type() != od::json_type::boolean) {
                    Fail(at, "is not true or false");
                }
                state.Enabled = member.get_bool();
                break;
            case EnabledByte:
                enabledByte = Byte(member, at);
                break;
            case Padding:
                ReadTriple(
                    member, at, "is not an array of three whole numbers from 0 to 255",
                    [&](od::value& v, const Path& p, size_t i) { tail[1 + i] = Byte(v, p); });
                break;
            default:
                Walk(member, at, 3);
                break;
            }
        }
        for (int key = Location; key <= Enabled; ++key) {
            if (!keys.Has(key)) {
                Fail(path.Key(keys.Name(key)), "is missing");
            }
        }
        tail[0] = state.Enabled ? 1 : 0;
        if (keys.Has(EnabledByte)) {
            if ((enabledByte != 0) != state.Enabled) {
                Fail(path.Key("enabled_byte"),
                     std::to_string(enabledByte) +
                         " does not match \"enabled\": " + (state.Enabled ? "true" : "false"));
            }
            tail[0] = enabledByte;
        }
    }

    template <typename Each>
    void ReadTriple(od::value& value, const Path& path, const char* problem, Each each) {
        if (value.type() != od::json_type::array) {
            Fail(path, problem);
        }
        size_t count = 0;
        for (auto element : value.get_array()) {
            od::value item = element.value();
            if (count == 3) {
                Fail(path, problem);
            }
            each(item, path.Index(count), count);
            ++count;
        }
        if (count != 3) {
            Fail(path, problem);
        }
    }

    Vector ReadVector(od::value& value, const Path& path) {
        std::array<float, 3> v{};
        ReadTriple(value, path, "is not an array of three numbers",
                   [&](od::value& item, const Path& p, size_t i) { v[i] = Float(item, p); });
        return Vector{v[0], v[1], v[2]};
    }

    void ReadInputs(od::value& value, const Path& path, std::vector<VehicleInput>& inputs) {
        if (value.type() != od::json_type::array) {
            Fail(path, "is not an array of frames");
        }
        // No row is shorter than this: a bound on what to reserve.
        constexpr size_t ShortestRow = 160;
        inputs.reserve(text_.size() / ShortestRow);
        for (auto element : value.get_array()) {
            od::value row = element.value();
            inputs.push_back(ReadRow(row, path.Index(inputs.size()), inputs.size()));
        }
    }

    // Rows are most of the text: a field is read through its result, without
    // copying it into a field and a value first, which costs more than the
    // reading itself.
    VehicleInput ReadRow(od::value& value, const Path& path, uint64_t frame) {
        if (value.type() != od::json_type::object) {
            Fail(path, "is not an object of one frame");
        }
        VehicleInput input;
        uint32_t seen = 0;
        size_t count = 0;
        for (auto field : value.get_object()) {
            const size_t column = ColumnOf(field, count++, path);
            const Path at = path.Key(CsvColumns[column]);
            if ((seen >> column) & 1) {
                Fail(at, "appears twice");
            }
            seen |= 1u << column;
            auto cell = field.value();
            if (column == 0) {
                if (Whole<uint64_t>(cell, at) != frame) {
                    Fail(at, "out of order, expected " + std::to_string(frame));
                }
            } else if (column < FirstFlagColumn) {
                input.*FloatFields[column - FirstFloatColumn] = Float(cell, at);
            } else if (column < OtherFlagsColumn) {
                const std::string_view token = Raw(cell);
                bool set = false;
                Check(ReadFlag(token, set), token, at);
                input.Flags |= set ? FlagBits[column - FirstFlagColumn] : 0;
            } else {
                uint32_t bits = 0;
                const std::string_view text = String(cell, at);
                if (const char* problem = ReadOtherFlags(text, bits)) {
                    Fail(at, problem + (": " + Quote(text)));
                }
                input.Flags |= bits;
            }
        }
        for (size_t column = 0; column < CsvColumns.size(); ++column) {
            if (!((seen >> column) & 1)) {
                Fail(path.Key(CsvColumns[column]), "is missing");
            }
        }
        return input;
    }

    // The column a row's key names. Keys are compared as written, which is
    // right for every key without escapes, and rows come with their keys in
    // column order, so the next column is tried first.
    template <typename Field> size_t ColumnOf(Field& field, size_t next, const Path& row) {
        // in the padded text, just after the quote
        const char* raw = od::raw_json_string(field.key()).raw();
        auto written = [raw](std::string_view name) {
            return std::memcmp(raw, name.data(), name.size()) == 0 && raw[name.size()] == '"';
        };
        if (next < CsvColumns.size() && written(CsvColumns[next])) {
            return next;
        }
        const auto found = std::find_if(CsvColumns.begin(), CsvColumns.end(), written);
        if (found != CsvColumns.end()) {
            return static_cast<size_t>(found - CsvColumns.begin());
        }
        const std::string_view key = field.unescaped_key();
        const auto unescaped = std::find(CsvColumns.begin(), CsvColumns.end(), key);
        if (unescaped == CsvColumns.end()) {
            Fail(row, "has a key that is not a column of a frame: " + Quote(key));
        }
        return static_cast<size_t>(unescaped - CsvColumns.begin());
    }

    // The value as written, without the blanks after it. Value is a value or
    // the result holding one; neither is consumed.
    template <typename Value> static std::string_view Raw(Value& value) {
        return TrimEnd(std::string_view(value.raw_json_token()));
    }

    // The token if it is a number; anything else is refused with problem.
    std::string_view Number(std::string_view token, const Path& path, const char* problem) {
        if (token.empty() || (token[0] != '-' && (token[0] < '0' || token[0] > '9'))) {
            Fail(path, problem + (": " + Quote(token)));
        }
        if (!IsJsonNumber(token)) {
            throw SyntaxError("bad number " + Quote(token));
        }
        return token;
    }

    void Check(const char* problem, std::string_view token, const Path& path) {
        if (problem) {
            Fail(path, problem + (": " + Quote(token)));
        }
    }

    template <typename Int, typename Value> Int Whole(Value& value, const Path& path) {
        const std::string_view token = Raw(value);
        Int whole = 0;
        Check(ReadWhole(Number(token, path, "is not a whole number"), whole), token, path);
        return whole;
    }

    uint8_t Byte(od::value& value, const Path& path) {
        const std::string_view token = Raw(value);
        uint8_t byte = 0;
        Check(ReadByte(Number(token, path, "is not a whole number from 0 to 255"), byte), token,
              path);
        return byte;
    }

    // A number, or one of the texts FloatText writes for values JSON has no
    // number for.
    template <typename Value> float Float(Value& value, const Path& path) {
        const std::string_view token = Raw(value);
        float number = 0;
        if (token.starts_with('"')) {
            const std::string_view text = value.get_string();
            if (const char* problem = ReadFloat(text, number)) {
                Fail(path, problem + (": " + Quote(text)));
            }
            return number;
        }
        Check(ReadFloat(Number(token, path, "is not a number"), number), token, path);
        return number;
    }

    template <typename Value> std::string_view String(Value& value, const Path& path) {
        // type() first: it refuses a missing value as the syntax error it is.
        if (value.type() != od::json_type::string) {
            Check("is not a string", Raw(value), path);
        }
        const std::string_view token = Raw(value);
        // Without escapes the string is the text between the quotes, whose
        // characters the parser checked before reading began; every row has one.
        if (token.size() >= 2 && token.ends_with('"') &&
            token.find('\\') == std::string_view::npos) {
            return token.substr(1, token.size() - 2);
        }
        return value.get_string();
    }

    // Checks a value under an unknown key and everything in it.
    void Walk(od::value& value, const Path& path, size_t depth) {
        switch (value.type()) {
        case od::json_type::object:
        case od::json_type::array:
            if (depth >= MaxJsonDepth) {
                Fail(path, "nests deeper than " + std::to_string(MaxJsonDepth) + " levels");
            }
            if (value.type() == od::json_type::object) {
                for (auto field : value.get_object()) {
                    const std::string_view key = field.unescaped_key();
                    od::value member = field.value();
                    Walk(member, path.Key(key), depth + 1);
                }
            } else {
                size_t index = 0;
                for (auto element : value.get_array()) {
                    od::value item = element.value();
                    Walk(item, path.Index(index++), depth + 1);
                }
            }
            break;
        case od::json_type::number:
            Number(Raw(value), path, "is not a number");
            break;
        case od::json_type::string:
            static_cast<void>(value.get_string().value());
            break;
        case od::json_type::boolean:
            static_cast<void>(value.get_bool().value());
            break;
        case od::json_type::null:
            if (!value.is_null()) {
                throw SyntaxError("bad literal " + Quote(TrimEnd(value.raw_json_token())));
            }
            break;
        }
    }

    const std::string& text_;
    const std::string& name_;
    simdjson::padded_string copy_;
    simdjson::padded_string_view view_;
    od::parser parser_;
    od::document document_;
    bool iterated_ = false;
};

} // namespace

void ReadSideFile(const std::string& text, const std::string& name, TextRun& run) {
    JsonImport(text, name).Read(run, true);
}

TextRun ImportJson(const std::string& text, const std::string& name) {
    TextRun run;
    JsonImport(text, name).Read(run, false);
    return run;
}

} // namespace runtext
