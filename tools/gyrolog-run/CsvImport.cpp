// CSV exports: a header naming the columns in any order, then one line per
// frame. Lines are read in place; a line's length is checked before it is
// split, so a stranger's file costs no more than its own size.
#include "RunText.h"
#include "TextRules.h"

#include <cstring>

namespace runtext {
namespace {

using Fields = std::array<std::string_view, CsvColumns.size()>;

// Splits into at most CsvColumns.size() fields and returns how many the line
// has, which may be more.
size_t Split(std::string_view line, Fields& fields) {
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        if (count < fields.size()) {
            fields[count] = line.substr(start, comma - start);
        }
        ++count;
        if (comma == std::string_view::npos) {
            return count;
        }
        start = comma + 1;
    }
}

class CsvReader {
public:
    CsvReader(std::string_view csv, const std::string& name) : csv_(csv), name_(name) {}

    // The next line without its line break, or false at the end.
    bool NextLine(std::string_view& line) {
        if (next_ >= csv_.size()) {
            return false;
        }
        ++lineNumber_;
        const size_t left = csv_.size() - next_;
        const size_t window = std::min(left, MaxCsvLine + 2);
        const void* found = std::memchr(csv_.data() + next_, '\n', window);
        const size_t length =
            found ? static_cast<size_t>(static_cast<const char*>(found) - (csv_.data() + next_))
                  : window;
        if (!found && window < left) {
            Fail(1, "line is longer than " + std::to_string(MaxCsvLine) + " characters");
        }
        line = csv_.substr(next_, length);
        next_ += length + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.size() > MaxCsvLine) {
            Fail(1, "line is longer than " + std::to_string(MaxCsvLine) + " characters");
        }
        return true;
    }

    [[noreturn]] void Fail(size_t column, const std::string& problem) const {
        throw ImportError(name_ + ":" + std::to_string(lineNumber_) + ":" + std::to_string(column) +
                          ": " + problem);
    }

private:
    std::string_view csv_;
    const std::string& name_;
    size_t next_ = 0;
    size_t lineNumber_ = 0;
};

// Which field of a line holds each column.
using ColumnOrder = std::array<size_t, CsvColumns.size()>;

ColumnOrder ReadHeader(CsvReader& reader) {
    std::string_view line;
    if (!reader.NextLine(line)) {
        reader.Fail(1, "missing header line");
    }
    Fields names;
    const size_t count = Split(line, names);
    ColumnOrder order{};
    for (size_t c = 0; c < CsvColumns.size(); ++c) {
        const auto end = names.begin() + static_cast<ptrdiff_t>(std::min(count, names.size()));
        const auto found = std::find(names.begin(), end, CsvColumns[c]);
        if (found == end) {
            reader.Fail(1, "missing column \"" + std::string(CsvColumns[c]) + "\"");
        }
        order[c] = static_cast<size_t>(found - names.begin());
    }
    if (count != CsvColumns.size()) {
        reader.Fail(1, "unknown or repeated columns in the header");
    }
    return order;
}

VehicleInput ReadRow(CsvReader& reader, std::string_view line, const ColumnOrder& order,
                     uint64_t frame) {
    Fields fields;
    const size_t count = Split(line, fields);
    if (count != CsvColumns.size()) {
        reader.Fail(1, "expected " + std::to_string(CsvColumns.size()) + " fields, found " +
                           std::to_string(count));
    }
    auto check = [&](size_t column, const char* problem) {
        if (problem) {
            const std::string_view field = fields[order[column]];
            reader.Fail(static_cast<size_t>(field.data() - line.data()) + 1,
                        std::string(CsvColumns[column]) + " " + problem + ": " + Quote(field));
        }
    };
    uint64_t number = 0;
    check(0, ReadWhole(fields[order[0]], number));
    if (number != frame) {
        check(0, ("out of order, expected " + std::to_string(frame)).c_str());
    }
    VehicleInput input;
    for (size_t i = 0; i < FloatFields.size(); ++i) {
        const size_t column = FirstFloatColumn + i;
        check(column, ReadFloat(fields[order[column]], input.*FloatFields[i]));
    }
    for (size_t i = 0; i < FlagBits.size(); ++i) {
        const size_t column = FirstFlagColumn + i;
        bool set = false;
        check(column, ReadFlag(fields[order[column]], set));
        input.Flags |= set ? FlagBits[i] : 0;
    }
    uint32_t other = 0;
    check(OtherFlagsColumn, ReadOtherFlags(fields[order[OtherFlagsColumn]], other));
    input.Flags |= other;
    return input;
}

} // namespace

TextRun ImportCsv(std::string_view csv, const std::string& csvName, const std::string& side,
                  const std::string& sideName) {
    TextRun run;
    CsvReader reader(csv, csvName);
    const ColumnOrder order = ReadHeader(reader);
    // No frame line is shorter than this: a bound on what to reserve.
    constexpr size_t ShortestLine = 29;
    run.data.Inputs.reserve(csv.size() / ShortestLine);
    std::string_view line;
    while (reader.NextLine(line)) {
        if (!line.empty()) {
            run.data.Inputs.push_back(ReadRow(reader, line, order, run.data.Inputs.size()));
        }
    }
    ReadSideFile(side, sideName, run);
    return run;
}

} // namespace runtext
