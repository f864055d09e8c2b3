#include "runs/record/RunTrace.h"
#include "runs/record/Tas.h"
#include "runs/record/TasFormat.h"

#include <bit>
#include <cstring>
#include <istream>
#include <ostream>

static_assert(std::endian::native == std::endian::little,
              "trace files are little-endian and written by plain memory copies");

namespace {

constexpr char Magic[8] = {'G', 'Y', 'R', 'O', 'T', 'R', 'C', 'E'};
constexpr uint32_t InputsOnlyVersion = 1;
constexpr uint32_t EntriesOnlyVersion = 2;

template <typename T> void WriteValue(std::ostream& stream, const T& value) {
    stream.write(reinterpret_cast<const char*>(&value), sizeof value);
}

class Fnv1a {
public:
    void Add(const void* data, size_t size) {
        const auto* byte = static_cast<const unsigned char*>(data);
        for (const auto* end = byte + size; byte != end; ++byte) {
            digest_ = (digest_ ^ *byte) * 0x100000001b3ull;
        }
    }
    template <typename T> void AddValue(const T& value) { Add(&value, sizeof value); }
    uint64_t Digest() const { return digest_; }

private:
    uint64_t digest_ = 0xcbf29ce484222325ull;
};

void AddInputs(Fnv1a& digest, const std::vector<VehicleInput>& inputs) {
    digest.Add(inputs.data(), inputs.size() * sizeof(VehicleInput));
}

// The 52 bytes of the run file's starting-state block: four 12-byte values,
// the Enabled byte as 0 or 1 and three zero bytes.
void AddStartingState(Fnv1a& digest, const StartingState& state) {
    digest.AddValue(state.Location);
    digest.AddValue(state.Rotation);
    digest.AddValue(state.Velocity);
    digest.AddValue(state.AngularVelocity);
    const unsigned char tail[4] = {static_cast<unsigned char>(state.Enabled ? 1 : 0), 0, 0, 0};
    digest.Add(tail, sizeof tail);
}

template <typename T> T HeaderValue(const char* header, size_t offset) {
    T value;
    std::memcpy(&value, header + offset, sizeof value);
    return value;
}

} // namespace

std::filesystem::path TracePath(const std::filesystem::path& runFile) {
    std::filesystem::path path = runFile;
    path += ".trace";
    return path;
}

uint64_t InputsDigest(const std::vector<VehicleInput>& inputs) {
    Fnv1a digest;
    AddInputs(digest, inputs);
    return digest.Digest();
}

uint64_t TraceDigest(const TasData& run) {
    Fnv1a digest;
    AddInputs(digest, run.Inputs);
    AddStartingState(digest, run.CarStart);
    AddStartingState(digest, run.BallStart);
    digest.AddValue(run.Hitbox);
    return digest.Digest();
}

void WriteTrace(std::ostream& stream, const TasData& run) {
    stream.write(Magic, sizeof Magic);
    WriteValue(stream, TraceFormatVersion);
    WriteValue(stream, static_cast<uint32_t>(sizeof(TraceEntry)));
    WriteValue(stream, static_cast<uint64_t>(run.Trace.size()));
    WriteValue(stream, TraceDigest(run));
    stream.write(reinterpret_cast<const char*>(run.Trace.data()),
                 static_cast<std::streamsize>(run.Trace.size() * sizeof(TraceEntry)));
    WriteValue(stream, static_cast<uint64_t>(run.Keyframes.size()));
    stream.write(reinterpret_cast<const char*>(run.Keyframes.data()),
                 static_cast<std::streamsize>(run.Keyframes.size() * sizeof(Keyframe)));
}

TraceReadResult ReadTrace(std::istream& stream, const TasData& run, std::vector<TraceEntry>& trace,
                          std::vector<Keyframe>& keyframes) {
    TraceReadResult result;
    char header[TraceHeaderBytes] = {};
    stream.read(header, sizeof header);
    const auto headerRead = static_cast<uint64_t>(stream.gcount());
    if (headerRead < TraceHeaderBytes) {
        result.fit = headerRead == 0 ? TraceFit::Empty : TraceFit::HeaderCutShort;
        return result;
    }
    const auto version = HeaderValue<uint32_t>(header, 8);
    if (std::memcmp(header, Magic, sizeof Magic) != 0 ||
        (version != InputsOnlyVersion && version != EntriesOnlyVersion &&
         version != TraceFormatVersion) ||
        HeaderValue<uint32_t>(header, 12) != sizeof(TraceEntry)) {
        return result;
    }
    result.frames = HeaderValue<uint64_t>(header, 16);
    // A version 2 trace may cover the run's first frames only: its digest,
    // over the whole run, still ties it to this run. Version 1 traces were
    // always whole.
    if (version == InputsOnlyVersion ? result.frames != run.Inputs.size()
                                     : result.frames > run.Inputs.size()) {
        result.fit = TraceFit::OtherFrames;
        return result;
    }
    const auto digest = HeaderValue<uint64_t>(header, 24);
    if (version == InputsOnlyVersion && digest != InputsDigest(run.Inputs)) {
        result.fit = TraceFit::OtherInputs;
        return result;
    }
    if (version != InputsOnlyVersion && digest != TraceDigest(run)) {
        result.fit = TraceFit::OtherRun;
        return result;
    }
    // A header may claim any count a damaged run also claims: only a file
    // that holds exactly those entries (and the keyframes it counts) is read.
    const uint64_t bytes = result.frames * sizeof(TraceEntry);
    const bool keyed = version == TraceFormatVersion;
    const uint64_t left = BytesLeft(stream);
    if (keyed ? left < bytes + sizeof(uint64_t) : left != bytes) {
        return result;
    }
    std::vector<TraceEntry> entries(static_cast<size_t>(result.frames));
    stream.read(reinterpret_cast<char*>(entries.data()), static_cast<std::streamsize>(bytes));
    if (static_cast<uint64_t>(stream.gcount()) != bytes) {
        return result;
    }
    std::vector<Keyframe> kept;
    if (keyed) {
        // Nothing checks the entries' bytes: a file whose keyframes do not
        // fit is damaged, and its entries are not trusted either.
        uint64_t count = 0;
        stream.read(reinterpret_cast<char*>(&count), sizeof count);
        if (static_cast<uint64_t>(stream.gcount()) != sizeof count || count > result.frames ||
            BytesLeft(stream) != count * sizeof(Keyframe)) {
            return result;
        }
        kept.resize(static_cast<size_t>(count));
        const auto keyBytes = static_cast<std::streamsize>(count * sizeof(Keyframe));
        stream.read(reinterpret_cast<char*>(kept.data()), keyBytes);
        if (stream.gcount() != keyBytes) {
            return result;
        }
        for (size_t i = 0; i < kept.size(); ++i) {
            if (kept[i].Frame >= result.frames || (i > 0 && kept[i].Frame <= kept[i - 1].Frame)) {
                return result;
            }
        }
    }
    trace = std::move(entries);
    keyframes = std::move(kept);
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
    case TraceFit::OtherRun:
        return start + "it was recorded with other inputs, starting states or hitbox";
    case TraceFit::Empty:
    case TraceFit::HeaderCutShort:
    case TraceFit::Unreadable:
    case TraceFit::Belongs:
        break;
    }
    return start + "not a trace file, or cut short";
}
