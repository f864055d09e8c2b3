// Writes the fuzzer's seed corpus with the project's own writer:
//   make_fuzz_corpus DIR
#include "runs/record/TasFormat.h"

#include <cmath>
#include <fstream>
#include <iostream>

namespace {

void Save(const std::string& folder, const std::string& name, const TasData& data) {
    std::ofstream stream(folder + "/" + name, std::ios::binary);
    WriteTas(stream, data);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_corpus DIR\n";
        return 2;
    }
    const std::string folder = argv[1];
    Save(folder, "empty-run.data", TasData());

    TasData small;
    small.Hitbox = HitboxType::Octane;
    small.CarStart.Enabled = true;
    small.CarStart.Location = {0, -4608, 17};
    for (int i = 0; i < 8; ++i) {
        VehicleInput input;
        input.Throttle = 1.0f;
        input.Steer = i % 2 ? -0.5f : std::nanf("");
        input.Flags = static_cast<uint32_t>(i * 5);
        small.Inputs.push_back(input);
    }
    small.TeleportFrames = {3, 6};
    Save(folder, "small-run.data", small);

    small.BallStart.Enabled = true;
    small.AirSensitivity = -0.0f;
    small.Hitbox = static_cast<HitboxType>(77);
    Save(folder, "odd-values.data", small);
    return 0;
}
