#include "runs/Tas.h"

#include <algorithm>

TasData::TasData(TasData&& other) noexcept {
    *this = std::move(other);
}

TasData& TasData::operator=(TasData&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    Inputs.clear();
    Inputs.shrink_to_fit();
    TeleportFrames.clear();
    TeleportFrames.shrink_to_fit();
    Inputs.swap(other.Inputs);
    TeleportFrames.swap(other.TeleportFrames);
    CarStart = other.CarStart;
    BallStart = other.BallStart;
    Hitbox = other.Hitbox;
    AirSensitivity = other.AirSensitivity;
    SteerSensitivity = other.SteerSensitivity;
    return *this;
}

void Tas::Reset() {
    Data = TasData();
    PendingInputs.clear();
    PendingTeleportFrames.clear();
    CurrentFrame = 0;
    NextTeleport = 0;
    State = TasState::Stopped;
    InputsApplied = true;
}

void Tas::MergePending() {
    auto& inputs = Data.Inputs;
    inputs.reserve(static_cast<size_t>(CurrentFrame) + PendingInputs.size());
    inputs.resize(static_cast<size_t>(CurrentFrame));
    inputs.insert(inputs.end(), PendingInputs.begin(), PendingInputs.end());
    PendingInputs.clear();

    auto& teleports = Data.TeleportFrames;
    auto firstLater = std::find_if(teleports.begin(), teleports.end(),
                                   [this](uint64_t frame) { return frame > CurrentFrame; });
    teleports.erase(firstLater, teleports.end());
    teleports.reserve(teleports.size() + PendingTeleportFrames.size());
    teleports.insert(teleports.end(), PendingTeleportFrames.begin(), PendingTeleportFrames.end());
    PendingTeleportFrames.clear();
    InputsApplied = true;
}
