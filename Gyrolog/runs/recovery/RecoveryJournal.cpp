#include "runs/recovery/RecoveryJournal.h"
#include "runs/record/TasFormat.h"

#include <bit>
#include <cstring>
#include <istream>
#include <span>
#include <sstream>
#include <streambuf>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "journals are little-endian and written by plain memory copies");
static_assert(sizeof(Vector) == 12 && sizeof(Rotator) == 12, "a starting state is 4 x 12 bytes");

namespace {

constexpr char Magic[8] = {'G', 'Y', 'R', 'O', 'R', 'C', 'V', 'R'};
constexpr uint64_t RecordFrameBytes = 4 + 8 + 8; // kind, size, checksum
constexpr uint32_t KeyframesVersion = 3;         // the first whose records hold keyframes
constexpr uint32_t MarkersVersion = 4;           // the first whose records hold markers

template <typename T> void Append(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void AppendBytes(std::string& out, const void* data, size_t bytes) {
    out.append(static_cast<const char*>(data), bytes);
}

uint64_t Fnv1a(uint64_t digest, const void* data, size_t bytes) {
    const auto* byte = static_cast<const unsigned char*>(data);
    for (const auto* end = byte + bytes; byte != end; ++byte) {
        digest = (digest ^ *byte) * 0x100000001b3ull;
    }
    return digest;
}

uint64_t RecordChecksum(uint32_t kind, uint64_t size, const char* payload) {
    uint64_t digest = 0xcbf29ce484222325ull;
    digest = Fnv1a(digest, &kind, sizeof kind);
    digest = Fnv1a(digest, &size, sizeof size);
    return Fnv1a(digest, payload, size);
}

uint64_t RecordChecksum(uint32_t kind, uint64_t size, const std::string& payload) {
    return RecordChecksum(kind, size, payload.data());
}

// Whether a whole record lies anywhere in the bytes after the start of a
// record that is not whole: then that record was damaged, not torn by a
// crash mid-write, which leaves nothing after it. Any offset is tried, as
// the damage may be in the size. When the search would take too long the
// answer is yes: a journal taken for damaged is kept, one taken for torn is
// cut.
bool WholeRecordAfter(std::istream& stream, uint64_t at, uint64_t size) {
    stream.clear();
    stream.seekg(static_cast<std::streamoff>(at));
    std::string rest(static_cast<size_t>(size - at), '\0');
    if (!stream.read(rest.data(), static_cast<std::streamsize>(rest.size()))) {
        return true;
    }
    constexpr uint64_t MostHashed = uint64_t{1} << 28;
    uint64_t hashed = 0;
    for (uint64_t offset = 1; rest.size() - offset >= RecordFrameBytes; ++offset) {
        uint32_t kind = 0;
        uint64_t bytes = 0;
        std::memcpy(&kind, rest.data() + offset, sizeof kind);
        std::memcpy(&bytes, rest.data() + offset + sizeof kind, sizeof bytes);
        if (kind < static_cast<uint32_t>(JournalRecord::TakeOver) ||
            kind > static_cast<uint32_t>(JournalRecord::Name) ||
            bytes > rest.size() - offset - RecordFrameBytes) {
            continue;
        }
        hashed += bytes;
        if (hashed > MostHashed) {
            return true;
        }
        uint64_t checksum = 0;
        const char* payload = rest.data() + offset + 12;
        std::memcpy(&checksum, payload + bytes, sizeof checksum);
        if (checksum == RecordChecksum(kind, bytes, payload)) {
            return true;
        }
    }
    return false;
}

std::string Record(JournalRecord kind, const std::string& payload) {
    const auto code = static_cast<uint32_t>(kind);
    const uint64_t size = payload.size();
    std::string out;
    out.reserve(RecordFrameBytes + payload.size());
    Append(out, code);
    Append(out, size);
    out += payload;
    Append(out, RecordChecksum(code, size, payload));
    return out;
}

// Reads a payload in place, without copying it into a stream of its own.
class PayloadReader : public std::streambuf {
public:
    explicit PayloadReader(const std::string& payload)
        : PayloadReader(payload.data(), payload.size()) {}
    PayloadReader(const char* data, uint64_t bytes) {
        char* begin = const_cast<char*>(data);
        setg(begin, begin, begin + bytes);
    }

    template <typename T> bool Read(T& value) {
        return sgetn(reinterpret_cast<char*>(&value), sizeof value) == sizeof value;
    }
    bool ReadBytes(void* data, uint64_t bytes) {
        return Left() >= bytes &&
               sgetn(static_cast<char*>(data), static_cast<std::streamsize>(bytes)) ==
                   static_cast<std::streamsize>(bytes);
    }
    uint64_t Left() { return static_cast<uint64_t>(egptr() - gptr()); }
    const char* At() { return gptr(); }
    void Skip(uint64_t bytes) { setg(eback(), gptr() + bytes, egptr()); }

protected:
    // The run reader asks how much is left before it allocates.
    pos_type seekoff(off_type offset, std::ios::seekdir from, std::ios::openmode) override {
        char* base = from == std::ios::beg ? eback() : from == std::ios::end ? egptr() : gptr();
        if (base + offset < eback() || base + offset > egptr()) {
            return pos_type(off_type(-1));
        }
        setg(eback(), base + offset, egptr());
        return pos_type(gptr() - eback());
    }
    pos_type seekpos(pos_type position, std::ios::openmode which) override {
        return seekoff(off_type(position), std::ios::beg, which);
    }
};

template <typename T> bool ReadArray(PayloadReader& reader, std::vector<T>& values) {
    uint64_t count = 0;
    if (!reader.Read(count) || count > reader.Left() / sizeof(T)) {
        return false;
    }
    values.resize(static_cast<size_t>(count));
    return reader.ReadBytes(values.data(), count * sizeof(T));
}

void AppendMarkers(std::string& out, const std::vector<Marker>& markers) {
    Append(out, static_cast<uint64_t>(markers.size()));
    for (const Marker& marker : markers) {
        Append(out, marker.Frame);
        Append(out, static_cast<uint32_t>(marker.Text.size()));
        out += marker.Text;
    }
}

// Markers strictly ascending, each before frames, every length within the
// record: a count or length beyond it is damage, found before allocating.
bool ReadMarkers(PayloadReader& reader, uint64_t frames, std::vector<Marker>& markers) {
    constexpr uint64_t LeastBytes = 8 + 4;
    uint64_t count = 0;
    if (!reader.Read(count) || count > reader.Left() / LeastBytes) {
        return false;
    }
    markers.clear();
    markers.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        Marker marker;
        uint32_t bytes = 0;
        if (!reader.Read(marker.Frame) || !reader.Read(bytes) || bytes > reader.Left() ||
            marker.Frame >= frames || (i > 0 && marker.Frame <= markers.back().Frame)) {
            return false;
        }
        marker.Text.assign(reader.At(), bytes);
        reader.Skip(bytes);
        markers.push_back(std::move(marker));
    }
    return true;
}

// Keyframes strictly ascending, each in from..to (to excluded).
bool KeyframesFit(const std::vector<Keyframe>& keyframes, uint64_t from, uint64_t to) {
    for (size_t i = 0; i < keyframes.size(); ++i) {
        if (keyframes[i].Frame < from || keyframes[i].Frame >= to ||
            (i > 0 && keyframes[i].Frame <= keyframes[i - 1].Frame)) {
            return false;
        }
    }
    return true;
}

bool ApplyBase(const std::string& payload, uint32_t journalVersion, Tas& tas, std::string& name) {
    PayloadReader reader(payload);
    uint32_t nameBytes = 0;
    uint64_t runBytes = 0;
    if (!reader.Read(nameBytes) || nameBytes > reader.Left()) {
        return false;
    }
    name.resize(nameBytes);
    if (!reader.ReadBytes(name.data(), nameBytes) || !reader.Read(runBytes) ||
        runBytes > reader.Left()) {
        return false;
    }
    // The run's counts are checked against the bytes there before the run
    // reader allocates: it allows a run file cut short by far more.
    PayloadReader runReader(reader.At(), runBytes);
    int32_t version = 0;
    uint64_t frames = 0;
    uint64_t teleports = 0;
    if (!runReader.Read(version) || !runReader.Read(frames) ||
        frames > runReader.Left() / sizeof(VehicleInput)) {
        return false;
    }
    runReader.Skip(frames * sizeof(VehicleInput));
    if (!runReader.Read(teleports) || teleports > runReader.Left() / sizeof(uint64_t)) {
        return false;
    }
    runReader.pubseekpos(0);
    reader.Skip(runBytes);
    std::istream runStream(&runReader);
    if (ReadTasData(runStream, tas.Data).outcome != ReadOutcome::Loaded) {
        return false;
    }
    uint64_t traceCount = 0;
    // A trace may cover the run's first frames only.
    if (!reader.Read(traceCount) || traceCount > tas.Data.Inputs.size() ||
        traceCount > reader.Left() / sizeof(TraceEntry)) {
        return false;
    }
    tas.Data.Trace.resize(traceCount);
    tas.Name = name;
    if (!reader.ReadBytes(tas.Data.Trace.data(), traceCount * sizeof(TraceEntry))) {
        return false;
    }
    if (journalVersion >= KeyframesVersion &&
        (!ReadArray(reader, tas.Data.Keyframes) ||
         !KeyframesFit(tas.Data.Keyframes, 0, tas.Data.Trace.size()))) {
        return false;
    }
    if (journalVersion >= MarkersVersion &&
        !ReadMarkers(reader, tas.Data.Inputs.size(), tas.Data.Markers)) {
        return false;
    }
    return reader.Left() == 0;
}

bool ApplyPending(const std::string& payload, uint32_t version, Tas& tas) {
    PayloadReader reader(payload);
    uint32_t count = 0;
    if (!reader.Read(count) || count > RecordingBlock::Capacity ||
        reader.Left() < count * (sizeof(VehicleInput) + sizeof(TraceEntry))) {
        return false;
    }
    VehicleInput inputs[RecordingBlock::Capacity];
    TraceEntry trace[RecordingBlock::Capacity];
    reader.ReadBytes(inputs, count * sizeof(VehicleInput));
    reader.ReadBytes(trace, count * sizeof(TraceEntry));
    for (uint32_t i = 0; i < count; ++i) {
        tas.PendingInputs.push_back(inputs[i]);
        tas.PendingTrace.push_back(trace[i]);
    }
    uint32_t teleports = 0;
    if (!reader.Read(teleports) || reader.Left() < uint64_t{teleports} * 8) {
        return false;
    }
    for (uint32_t i = 0; i < teleports; ++i) {
        uint64_t frame = 0;
        reader.Read(frame);
        tas.PendingTeleportFrames.push_back(frame);
    }
    if (version < KeyframesVersion) {
        return reader.Left() == 0;
    }
    uint32_t keyframes = 0;
    if (!reader.Read(keyframes) || reader.Left() != uint64_t{keyframes} * sizeof(Keyframe)) {
        return false;
    }
    const uint64_t end = tas.CurrentFrame + tas.PendingTrace.size();
    for (uint32_t i = 0; i < keyframes; ++i) {
        Keyframe keyframe;
        reader.Read(keyframe);
        const size_t held = tas.PendingKeyframes.size();
        const uint64_t after =
            held == 0 ? tas.CurrentFrame : tas.PendingKeyframes[held - 1].Frame + 1;
        if (keyframe.Frame >= after && keyframe.Frame < end) {
            tas.PendingKeyframes.push_back(keyframe);
        }
    }
    return true;
}

void ClearPending(Tas& tas) {
    tas.PendingInputs.clear();
    tas.PendingTrace.clear();
    tas.PendingTeleportFrames.clear();
    tas.PendingKeyframes.clear();
}

// The run's frames once the splice is applied; the splice fits the run.
uint64_t FramesAfter(const TasData& run, const RunSplice& change) {
    return run.Inputs.size() - change.Removed + change.Inputs.size();
}

bool ApplySpliceRecord(const std::string& payload, uint32_t version, Tas& tas) {
    PayloadReader reader(payload);
    RunSplice change;
    if (!reader.Read(change.At) || !reader.Read(change.Removed) ||
        !ReadArray(reader, change.Inputs) || !ReadArray(reader, change.Teleports) ||
        !reader.Read(change.TraceAt) || !ReadArray(reader, change.TraceTail) ||
        (version >= KeyframesVersion &&
         (!ReadArray(reader, change.KeyframesTail) ||
          change.TraceTail.size() > UINT64_MAX - change.TraceAt ||
          !KeyframesFit(change.KeyframesTail, change.TraceAt,
                        change.TraceAt + change.TraceTail.size()))) ||
        change.At > tas.Data.Inputs.size() || change.Removed > tas.Data.Inputs.size() - change.At) {
        return false;
    }
    if (version < MarkersVersion) {
        change.Markers = tas.Data.Markers; // such a splice knew of none: they stay
    } else if (!ReadMarkers(reader, FramesAfter(tas.Data, change), change.Markers)) {
        return false;
    }
    if (reader.Left() != 0) {
        return false;
    }
    ApplySplice(tas.Data, change);
    return true;
}

bool ReadStart(PayloadReader& reader, StartingState& state) {
    uint8_t enabled = 0;
    if (!reader.Read(state.Location) || !reader.Read(state.Rotation) ||
        !reader.Read(state.Velocity) || !reader.Read(state.AngularVelocity) ||
        !reader.Read(enabled) || enabled > 1) {
        return false;
    }
    state.Enabled = enabled == 1;
    return true;
}

void AppendStart(std::string& out, const StartingState& state) {
    Append(out, state.Location);
    Append(out, state.Rotation);
    Append(out, state.Velocity);
    Append(out, state.AngularVelocity);
    Append(out, static_cast<uint8_t>(state.Enabled ? 1 : 0));
}

// Applies one whole record after the base; false for one that makes no sense.
bool ApplyRecord(uint32_t kind, uint32_t version, const std::string& payload, Tas& tas,
                 std::string& name) {
    switch (static_cast<JournalRecord>(kind)) {
    case JournalRecord::Splice:
        return ApplySpliceRecord(payload, version, tas);
    case JournalRecord::Starts: {
        PayloadReader reader(payload);
        StartingState car;
        StartingState ball;
        if (!ReadStart(reader, car) || !ReadStart(reader, ball) || reader.Left() != 0) {
            return false;
        }
        tas.Data.CarStart = car;
        tas.Data.BallStart = ball;
        return true;
    }
    case JournalRecord::Name: {
        PayloadReader reader(payload);
        uint32_t bytes = 0;
        if (!reader.Read(bytes) || reader.Left() != bytes) {
            return false;
        }
        name.assign(reader.At(), bytes);
        tas.Name = name;
        return true;
    }
    case JournalRecord::TakeOver: {
        PayloadReader reader(payload);
        if (payload.size() != 16 || !reader.Read(tas.CurrentFrame) ||
            !reader.Read(tas.NextTeleport) || tas.CurrentFrame > tas.Data.Inputs.size()) {
            return false;
        }
        ClearPending(tas);
        tas.InputsApplied = false;
        return true;
    }
    case JournalRecord::Pending:
        return !tas.InputsApplied && ApplyPending(payload, version, tas);
    case JournalRecord::Merge:
        if (!payload.empty() || tas.InputsApplied) {
            return false;
        }
        tas.MergePending();
        return true;
    case JournalRecord::DropPending:
        ClearPending(tas);
        tas.InputsApplied = true;
        return payload.empty();
    case JournalRecord::Base:
        return false;
    }
    return false;
}

} // namespace

std::string JournalHeader() {
    std::string out(Magic, sizeof Magic);
    Append(out, RecoveryJournalVersion);
    return out;
}

std::string BaseRecord(const std::string& name, const TasData& data) {
    std::ostringstream run;
    WriteTas(run, data);
    const std::string runBytes = run.str();
    std::string payload;
    Append(payload, static_cast<uint32_t>(name.size()));
    payload += name;
    Append(payload, static_cast<uint64_t>(runBytes.size()));
    payload += runBytes;
    Append(payload, static_cast<uint64_t>(data.Trace.size()));
    AppendBytes(payload, data.Trace.data(), data.Trace.size() * sizeof(TraceEntry));
    Append(payload, static_cast<uint64_t>(data.Keyframes.size()));
    AppendBytes(payload, data.Keyframes.data(), data.Keyframes.size() * sizeof(Keyframe));
    AppendMarkers(payload, data.Markers);
    return Record(JournalRecord::Base, payload);
}

std::string TakeOverRecord(uint64_t frame, uint64_t nextTeleport) {
    std::string payload;
    Append(payload, frame);
    Append(payload, nextTeleport);
    return Record(JournalRecord::TakeOver, payload);
}

std::string PendingRecord(const RecordingBlock& block) {
    std::string payload;
    Append(payload, static_cast<uint32_t>(block.Count));
    AppendBytes(payload, block.Inputs, block.Count * sizeof(VehicleInput));
    AppendBytes(payload, block.Trace, block.Count * sizeof(TraceEntry));
    Append(payload, static_cast<uint32_t>(block.TeleportFrames.size()));
    AppendBytes(payload, block.TeleportFrames.data(), block.TeleportFrames.size() * 8);
    Append(payload, static_cast<uint32_t>(block.Keyframes.size()));
    AppendBytes(payload, block.Keyframes.data(), block.Keyframes.size() * sizeof(Keyframe));
    return Record(JournalRecord::Pending, payload);
}

std::string EmptyRecord(JournalRecord kind) {
    return Record(kind, std::string());
}

std::string FramedRecord(JournalRecord kind, const std::string& payload) {
    return Record(kind, payload);
}

namespace {

// The trace and its keyframes are passed apart so that the run's own can be
// read where they are, never moved out from under the page.
std::string SplicePayload(const RunSplice& change, std::span<const TraceEntry> traceTail,
                          std::span<const Keyframe> keyframesTail) {
    std::string payload;
    payload.reserve(8 * 8 + change.Inputs.size() * sizeof(VehicleInput) +
                    change.Teleports.size() * 8 + traceTail.size_bytes() +
                    keyframesTail.size_bytes() + MarkersBytes(change.Markers));
    Append(payload, change.At);
    Append(payload, change.Removed);
    Append(payload, static_cast<uint64_t>(change.Inputs.size()));
    AppendBytes(payload, change.Inputs.data(), change.Inputs.size() * sizeof(VehicleInput));
    Append(payload, static_cast<uint64_t>(change.Teleports.size()));
    AppendBytes(payload, change.Teleports.data(), change.Teleports.size() * 8);
    Append(payload, change.TraceAt);
    Append(payload, static_cast<uint64_t>(traceTail.size()));
    AppendBytes(payload, traceTail.data(), traceTail.size_bytes());
    Append(payload, static_cast<uint64_t>(keyframesTail.size()));
    AppendBytes(payload, keyframesTail.data(), keyframesTail.size_bytes());
    AppendMarkers(payload, change.Markers);
    return payload;
}

} // namespace

std::string SplicePayload(const RunSplice& change) {
    return SplicePayload(change, change.TraceTail, change.KeyframesTail);
}

std::string WholeTracePayload(const TasData& run) {
    RunSplice noFrames;
    noFrames.At = run.Inputs.size();
    noFrames.Teleports = run.TeleportFrames;
    noFrames.Markers = run.Markers;
    return SplicePayload(noFrames, run.Trace, run.Keyframes);
}

std::string StartsPayload(const StartingState& car, const StartingState& ball) {
    std::string payload;
    AppendStart(payload, car);
    AppendStart(payload, ball);
    return payload;
}

std::string NamePayload(const std::string& name) {
    std::string payload;
    Append(payload, static_cast<uint32_t>(name.size()));
    payload += name;
    return payload;
}

JournalReadResult ReadRecoveryJournal(std::istream& stream, uint64_t size, Tas& tas) {
    JournalReadResult result;
    char magic[sizeof Magic] = {};
    uint32_t version = 0;
    stream.read(magic, sizeof magic);
    stream.read(reinterpret_cast<char*>(&version), sizeof version);
    if (!stream || size < RecoveryJournalHeaderBytes) {
        result.outcome = JournalReadResult::CutShort;
        return result;
    }
    if (std::memcmp(magic, Magic, sizeof Magic) != 0) {
        return result;
    }
    if (version < 1 || version > RecoveryJournalVersion) {
        result.outcome = JournalReadResult::OtherVersion;
        return result;
    }
    uint64_t at = RecoveryJournalHeaderBytes;
    bool based = false;
    bool whole = true;
    std::string payload;
    while (size - at >= RecordFrameBytes) {
        uint32_t kind = 0;
        uint64_t bytes = 0;
        uint64_t checksum = 0;
        stream.read(reinterpret_cast<char*>(&kind), sizeof kind);
        stream.read(reinterpret_cast<char*>(&bytes), sizeof bytes);
        if (!stream || bytes > size - at - RecordFrameBytes) {
            whole = false; // the size is checked before anything is allocated
            break;
        }
        payload.resize(bytes);
        stream.read(payload.data(), static_cast<std::streamsize>(bytes));
        stream.read(reinterpret_cast<char*>(&checksum), sizeof checksum);
        if (!stream || checksum != RecordChecksum(kind, bytes, payload)) {
            whole = false;
            break;
        }
        const bool applied = based ? ApplyRecord(kind, version, payload, tas, result.name)
                                   : kind == static_cast<uint32_t>(JournalRecord::Base) &&
                                         ApplyBase(payload, version, tas, result.name);
        if (!applied) {
            result.outcome = JournalReadResult::Unreadable;
            return result;
        }
        based = true;
        at += RecordFrameBytes + bytes;
    }
    result.validBytes = at;
    result.droppedBytes = size - at;
    result.damaged = based && !whole && WholeRecordAfter(stream, at, size);
    result.outcome = based ? JournalReadResult::Read : JournalReadResult::CutShort;
    tas.State = TasState::Stopped;
    return result;
}

uint64_t RecoveredFrames(const Tas& tas) {
    return tas.InputsApplied ? tas.Data.Inputs.size() : tas.CurrentFrame + tas.PendingInputs.size();
}

const char* JournalProblem(JournalReadResult::Outcome outcome) {
    switch (outcome) {
    case JournalReadResult::Read:
        return "it is whole";
    case JournalReadResult::Unreadable:
        return "it is not a recovery journal or is damaged";
    case JournalReadResult::CutShort:
        return "it was cut short before the run was whole";
    case JournalReadResult::OtherVersion:
        return "it was written by another version";
    }
    return "";
}
