#include "runs/record/TasFormat.h"

#include <bit>
#include <cstring>
#include <istream>
#include <ostream>

static_assert(std::endian::native == std::endian::little,
              "run files are little-endian and written by plain memory copies");
static_assert(sizeof(StartingState::Location) == 12 && sizeof(StartingState::Rotation) == 12);

namespace {

using Block = unsigned char[StartingStateBytes];

void PackStartingState(const StartingState& state, Block block) {
    std::memset(block, 0, StartingStateBytes);
    std::memcpy(block + 0, &state.Location, 12);
    std::memcpy(block + 12, &state.Rotation, 12);
    std::memcpy(block + 24, &state.Velocity, 12);
    std::memcpy(block + 36, &state.AngularVelocity, 12);
    block[48] = state.Enabled ? 1 : 0;
}

void UnpackStartingState(const Block block, StartingState& state) {
    std::memcpy(&state.Location, block + 0, 12);
    std::memcpy(&state.Rotation, block + 12, 12);
    std::memcpy(&state.Velocity, block + 24, 12);
    std::memcpy(&state.AngularVelocity, block + 36, 12);
    state.Enabled = block[48] != 0;
}

template <typename T> void WriteValue(std::ostream& stream, const T& value) {
    stream.write(reinterpret_cast<const char*>(&value), sizeof value);
}

// Reads up to size bytes; bytes the stream does not deliver keep their value.
// Returns whether every byte was delivered.
bool ReadBytes(std::istream& stream, void* target, uint64_t size) {
    if (size == 0) {
        return true;
    }
    stream.read(static_cast<char*>(target), static_cast<std::streamsize>(size));
    return static_cast<uint64_t>(stream.gcount()) == size;
}

// Reads a version or a count: one that the stream does not deliver whole
// reads as 0, never as the bytes that happened to arrive.
template <typename T> bool ReadWhole(std::istream& stream, T& value) {
    T delivered = 0;
    if (!ReadBytes(stream, &delivered, sizeof delivered)) {
        value = 0;
        return false;
    }
    value = delivered;
    return true;
}

bool CountFits(uint64_t count, uint64_t recordBytes, uint64_t bytesLeft) {
    return count <= bytesLeft / recordBytes + CutShortRecordAllowance;
}

} // namespace

uint64_t BytesLeft(std::istream& stream) {
    if (!stream) {
        return 0;
    }
    const auto here = stream.tellg();
    if (here < 0) {
        return 0;
    }
    stream.seekg(0, std::ios::end);
    const auto end = stream.tellg();
    stream.seekg(here);
    return end > here ? static_cast<uint64_t>(end - here) : 0;
}

void WriteTas(std::ostream& stream, const TasData& data) {
    WriteValue(stream, TasFormatVersion);
    const uint64_t frames = data.Inputs.size();
    WriteValue(stream, frames);
    stream.write(reinterpret_cast<const char*>(data.Inputs.data()),
                 static_cast<std::streamsize>(frames * sizeof(VehicleInput)));
    const uint64_t teleports = data.TeleportFrames.size();
    WriteValue(stream, teleports);
    stream.write(reinterpret_cast<const char*>(data.TeleportFrames.data()),
                 static_cast<std::streamsize>(teleports * sizeof(uint64_t)));
    Block block;
    PackStartingState(data.CarStart, block);
    stream.write(reinterpret_cast<const char*>(block), StartingStateBytes);
    PackStartingState(data.BallStart, block);
    stream.write(reinterpret_cast<const char*>(block), StartingStateBytes);
    WriteValue(stream, data.Hitbox);
    WriteValue(stream, data.AirSensitivity);
    WriteValue(stream, data.SteerSensitivity);
}

TasReadResult ReadTasData(std::istream& stream, TasData& data) {
    TasReadResult result;
    bool whole = ReadWhole(stream, result.version);
    if (result.version != TasFormatVersion) {
        result.outcome = ReadOutcome::Rejected;
        return result;
    }

    uint64_t frames = 0;
    whole = ReadWhole(stream, frames) && whole;
    if (!CountFits(frames, sizeof(VehicleInput), BytesLeft(stream))) {
        result.outcome = ReadOutcome::TooLarge;
        result.error = "frame count " + std::to_string(frames) + " is far more than the file holds";
        return result;
    }
    data.Inputs.assign(frames, VehicleInput{});
    whole = ReadBytes(stream, data.Inputs.data(), frames * sizeof(VehicleInput)) && whole;

    uint64_t teleports = 0;
    whole = ReadWhole(stream, teleports) && whole;
    if (!CountFits(teleports, sizeof(uint64_t), BytesLeft(stream))) {
        result.outcome = ReadOutcome::TooLarge;
        result.error =
            "teleport count " + std::to_string(teleports) + " is far more than the file holds";
        return result;
    }
    data.TeleportFrames.assign(teleports, 0);
    whole = ReadBytes(stream, data.TeleportFrames.data(), teleports * sizeof(uint64_t)) && whole;

    Block block;
    PackStartingState(data.CarStart, block);
    whole = ReadBytes(stream, block, StartingStateBytes) && whole;
    UnpackStartingState(block, data.CarStart);
    PackStartingState(data.BallStart, block);
    whole = ReadBytes(stream, block, StartingStateBytes) && whole;
    UnpackStartingState(block, data.BallStart);
    whole = ReadBytes(stream, &data.Hitbox, sizeof data.Hitbox) && whole;
    whole = ReadBytes(stream, &data.AirSensitivity, sizeof data.AirSensitivity) && whole;
    whole = ReadBytes(stream, &data.SteerSensitivity, sizeof data.SteerSensitivity) && whole;

    result.outcome = whole ? ReadOutcome::Loaded : ReadOutcome::CutShort;
    if (whole) {
        result.extraBytes = BytesLeft(stream);
    }
    return result;
}
