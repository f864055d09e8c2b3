#include "runs/RunTrace.h"

#include <bit>
#include <cstring>
#include <istream>
#include <ostream>

static_assert(std::endian::native == std::endian::little,
              "trace files are little-endian and written by plain memory copies");

namespace {

constexpr char Magic[8] = {'G', 'Y', 'R', 'O', 'T', 'R', 'C', 'E'};

template <typename T> void WriteValue(std::ostream& stream, const T& value) {
    stream.write(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T> bool ReadValue(std::istream& stream, T& value) {
    stream.read(reinterpret_cast<char*>(&value), sizeof value);
    return static_cast<size_t>(stream.gcount()) == sizeof value;
}

} // namespace

std::filesystem::path TracePath(const std::filesystem::path& runFile) {
    std::filesystem::path path = runFile;
    path += ".trace";
    return path;
}

uint64_t InputsDigest(const std::vector<VehicleInput>& inputs) {
    uint64_t digest = 0xcbf29ce484222325ull;
    const auto* byte = reinterpret_cast<const unsigned char*>(inputs.data());
    const auto* end = byte + inputs.size() * sizeof(VehicleInput);
    for (; byte != end; ++byte) {
        digest = (digest ^ *byte) * 0x100000001b3ull;
    }
    return digest;
}

void WriteTrace(std::ostream& stream, const std::vector<TraceEntry>& trace,
                const std::vector<VehicleInput>& inputs) {
    stream.write(Magic, sizeof Magic);
    WriteValue(stream, TraceFormatVersion);
    WriteValue(stream, static_cast<uint32_t>(sizeof(TraceEntry)));
    WriteValue(stream, static_cast<uint64_t>(trace.size()));
    WriteValue(stream, InputsDigest(inputs));
    stream.write(reinterpret_cast<const char*>(trace.data()),
                 static_cast<std::streamsize>(trace.size() * sizeof(TraceEntry)));
}

TraceReadResult ReadTrace(std::istream& stream, const std::vector<VehicleInput>& inputs,
                          std::vector<TraceEntry>& trace) {
    TraceReadResult result;
    char magic[sizeof Magic] = {};
    uint32_t version = 0;
    uint32_t entryBytes = 0;
    uint64_t digest = 0;
    stream.read(magic, sizeof magic);
    if (static_cast<size_t>(stream.gcount()) != sizeof magic ||
        std::memcmp(magic, Magic, sizeof Magic) != 0 || !ReadValue(stream, version) ||
        version != TraceFormatVersion || !ReadValue(stream, entryBytes) ||
        entryBytes != sizeof(TraceEntry) || !ReadValue(stream, result.frames) ||
        !ReadValue(stream, digest)) {
        return result;
    }
    if (result.frames != inputs.size()) {
        result.fit = TraceFit::OtherFrames;
        return result;
    }
    if (digest != InputsDigest(inputs)) {
        result.fit = TraceFit::OtherInputs;
        return result;
    }
    // The frame count matches a run already in memory, so it is no threat.
    std::vector<TraceEntry> entries(static_cast<size_t>(result.frames));
    const auto bytes = static_cast<std::streamsize>(entries.size() * sizeof(TraceEntry));
    stream.read(reinterpret_cast<char*>(entries.data()), bytes);
    if (stream.gcount() != bytes || stream.peek() != std::char_traits<char>::eof()) {
        return result;
    }
    trace = std::move(entries);
    result.fit = TraceFit::Belongs;
    return result;
}

std::string IgnoredTraceLine(const std::string& name, const TraceReadResult& result,
                             uint64_t runFrames) {
    const std::string start = "Trace of " + name + " ignored, replays are not checked: ";
    switch (result.fit) {
    case TraceFit::OtherFrames:
        return start + "it holds " + std::to_string(result.frames) + " frames, the run has " +
               std::to_string(runFrames);
    case TraceFit::OtherInputs:
        return start + "it was recorded with other inputs";
    case TraceFit::Unreadable:
    case TraceFit::Belongs:
        break;
    }
    return start + "not a trace file, or cut short";
}
