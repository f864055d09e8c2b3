#pragma once

#include "Gyrolog.h"
#include "Host.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <string>

// Reaches the plugin's private members for checks and set-up.
struct GyrologTestAccess {
    Gyrolog& plugin;

    Tas& Run() { return plugin.LoadedTas; }
    int32_t SpeedMode() { return static_cast<int32_t>(plugin.SpeedMode); }
    uint32_t& TeleportCooldownTicks() { return plugin.TeleportCooldownTicks; }
    std::vector<TasFile> Files() { return *plugin.TasFiles.Get(); }
    int32_t& SelectedFile() { return plugin.SelectedFile; }
    std::string& NewTasName() { return plugin.NewTasName; }
    const std::filesystem::path& DataFolder() { return plugin.DataFolder; }
    bool ReplaySpeedMirror() { return static_cast<bool>(plugin.ReplaySpeed); }
    ReplayCheckView ReplayCheck() { return plugin.ReplayCheck.Get(); }
    bool Unsaved() { return plugin.Editor.Unsaved(); }
    const RunHistory& History() { return plugin.Editor.History(); }
    RunEditor& Editor() { return plugin.Editor; }
    RunBranches& Branches() { return plugin.Branches; }
    std::mutex& RunLock() { return plugin.LoadedTasLock; }
    inputs::InputsTabState& InputsTab() { return plugin.InputsTab; }

    void CreateNewTas(const std::string& name) { plugin.CreateNewTas(name); }
    bool CheckCarSettings() { return plugin.CheckCarSettings(); }
    void SaveTas() { plugin.SaveTas(); }
    void LoadTas(int index) { plugin.LoadTas(index); }
    void DeleteTas(int index) { plugin.DeleteTas(index); }
    void RefreshTasFiles() { plugin.RefreshTasFiles(); }
    void FindRecoveries() { plugin.FindRecoveries(); }
    int FileIndex(const std::string& name) {
        const auto files = Files();
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i].Name == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
};

// The plugin linked into the test, loaded by the simulated host from its
// exported record the way the host loads a library's record.
class PluginTest : public ::testing::Test {
protected:
    PluginTest() : host(data.path()) {}

    void SetUp() override { ASSERT_TRUE(host.LoadPlugin(exports)); }
    void TearDown() override { host.UnloadPlugin(); }

    GyrologTestAccess Plugin() { return {*static_cast<Gyrolog*>(host.Plugin())}; }
    Tas& Run() { return Plugin().Run(); }
    sim::World& World() { return host.GetWorld(); }
    std::filesystem::path RunFolder() { return data.path() / "Gyrolog"; }

    // A freshly captured run named "run", its toasts cleared.
    void CaptureRun(const std::string& name = "run") {
        Plugin().CreateNewTas(name);
        ASSERT_EQ(Run().Name, name);
        host.ClearRecords();
    }

    // The host's input record and the plugin's are the same 32 bytes.
    void Tick(int count, VehicleInput live = {}) {
        host.Tick(count, std::bit_cast<ControllerInput>(live));
    }

    static VehicleInput Input(float throttle, uint32_t flags = 0) {
        VehicleInput input;
        input.Throttle = throttle;
        input.Flags = flags;
        return input;
    }

    std::string LastLog() { return host.Logs().empty() ? "" : host.Logs().back(); }
    std::string LastToast() { return host.Toasts().empty() ? "" : host.Toasts().back().text; }

    TempFolder data;
    sim::Host host;
};
