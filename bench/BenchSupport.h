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
    void CreateNewTas(const std::string& name) { plugin.CreateNewTas(name); }
    const RunHistory& History() { return plugin.Editor.History(); }
    void BeginDriftCheck() { plugin.BeginDriftCheck(); }
    void SaveTas() { plugin.SaveTas(); }
    void LoadTas(int index) { plugin.LoadTas(index); }
    void RefreshTasFiles() { plugin.RefreshTasFiles(); }
    int FileIndex(const std::string& name) {
        const auto files = plugin.TasFiles.Get();
        for (size_t i = 0; i < files->size(); ++i) {
            if ((*files)[i].Name == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    bool StillChecking() { return plugin.ReplayCheck.Get().Last == ReplayCheckView::Checking; }
    GameWrapper& Game() { return *plugin.gameWrapper; }
    inputs::InputsTabState& InputsTab() { return plugin.InputsTab; }
    RunBranches& Branches() { return plugin.Branches; }
};

// One hour of play at 120 ticks a second.
constexpr size_t HourOfFrames = 432000;

TasData HourLongRun();
std::filesystem::path BenchFolder();
