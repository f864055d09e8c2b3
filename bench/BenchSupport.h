#pragma once

#include "Gyrolog.h"
#include "Host.h"

#include <filesystem>

// The benchmarks drive the plugin's private members the way the tests do.
struct GyrologTestAccess {
    Gyrolog& plugin;
    Tas& Run() { return plugin.LoadedTas; }
    void OnSetVehicleInput(CarWrapper car, void* params, std::string eventName) {
        plugin.OnSetVehicleInput(car, params, std::move(eventName));
    }
    void UpdateInputs() { plugin.UpdateInputs(); }
    void BeginDriftCheck() { plugin.BeginDriftCheck(); }
    bool StillChecking() { return plugin.ReplayCheck.Last == ReplayCheckView::Checking; }
    GameWrapper& Game() { return *plugin.gameWrapper; }
};

// One hour of play at 120 ticks a second.
constexpr size_t HourOfFrames = 432000;

TasData HourLongRun();
std::filesystem::path BenchFolder();
