#include "PluginHarness.h"

#include <cerrno>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <pthread.h>
#include <thread>

namespace {

// Set, no thread can start: as when the system has none left to give.
bool ThreadsRefused = false;

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return ThreadsRefused ? EAGAIN : next(thread, attributes, start, argument);
}

namespace {

using BakkesMod::Plugin::PluginInfo;

class PluginLibraryTest : public ::testing::Test {
protected:
    PluginLibraryTest() : host(data.path()) {}
    TempFolder data;
    sim::Host host;
};

TEST_F(PluginLibraryTest, ExportsDescribeThePlugin) {
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    const PluginInfo* record = host.PluginRecord();
    EXPECT_EQ(record->apiBuildVersion, 95);
    EXPECT_STREQ(record->className, "Gyrolog");
    EXPECT_STREQ(record->pluginName, "Gyrolog V1.1");
    EXPECT_STREQ(record->pluginVersion, "1.0.0.4");
    EXPECT_EQ(record->pluginType, 1);
    EXPECT_TRUE(std::string(record->fileName).ends_with("Gyrolog.cpp"));
    EXPECT_EQ(host.SettingsWindow()->GetPluginName(), "Gyrolog");
}

TEST_F(PluginLibraryTest, SecondGetPluginReturnsTheSameOwner) {
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    const PluginInfo* record = host.PluginRecord();
    auto* before = host.Plugin();
    EXPECT_EQ(record->initializeFunc(), record->initializeFunc());
    EXPECT_EQ(host.Plugin(), before);
}

TEST_F(PluginLibraryTest, DeleteMeWithoutPluginOrTwiceDoesNothing) {
    void* library = dlopen(GYROLOG_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    auto* record = static_cast<PluginInfo*>(dlsym(library, "exports"));
    ASSERT_NE(record, nullptr);
    record->delFunc();
    auto* owner = reinterpret_cast<std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin>*>(
        record->initializeFunc());
    ASSERT_TRUE(*owner);
    record->delFunc();
    EXPECT_FALSE(*owner);
    record->delFunc();
    EXPECT_FALSE(*owner);
    dlclose(library);
}

TEST_F(PluginLibraryTest, LoadCreatesTheRunFolder) {
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    EXPECT_TRUE(std::filesystem::is_directory(data.path() / "Gyrolog"));
}

TEST_F(PluginLibraryTest, UnloadRemovesEverythingThePluginRegistered) {
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    EXPECT_EQ(host.DrawCanvas().size(), 2u);
    host.UnloadPlugin();
    EXPECT_TRUE(host.DrawCanvas().empty());
    host.RunLine("tas_start");
    EXPECT_EQ(host.Errors().back(), "unknown command or variable 'tas_start'");
    host.Tick(3, {});
    host.Teleport({});
    host.RoundStart();
    EXPECT_EQ(host.TickCount(), 3u);
    // The variables stay with the host, as they do in a real console.
    host.RunLine("tas_replayspeed 0.5");
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    host.RunLine("tas_replayspeed");
    EXPECT_EQ(host.Transcript().back(), "tas_replayspeed = 0.5");
}

TEST_F(PluginLibraryTest, RunFolderFailureAtLoadIsLoggedAndLoadGoesOn) {
    std::ofstream(data.path() / "Gyrolog") << "a file where the folder should be";
    ASSERT_TRUE(host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH));
    ASSERT_FALSE(host.Logs().empty());
    EXPECT_TRUE(host.Logs().back().starts_with("Error listing files: ")) << host.Logs().back();
    host.RunLine("tas_stop");
    EXPECT_TRUE(host.Errors().empty());
}

TEST_F(PluginLibraryTest, AThreadThatCannotStartIsReportedAndLoadAndUnloadGoOn) {
    ThreadsRefused = true;
    const bool loaded = host.LoadPluginLibrary(GYROLOG_PLUGIN_PATH);
    ThreadsRefused = false;
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(!host.Logs().empty() && host.Logs().front().starts_with("Error in load: "));
    EXPECT_TRUE(!host.Toasts().empty() &&
                host.Toasts().back().text == "Gyrolog did not load fully, check logs");
    host.RunLine("tas_stop");
    host.UnloadPlugin();
    EXPECT_TRUE(host.Errors().empty());
}

using PluginLifecycleTest = PluginTest;

TEST_F(PluginLifecycleTest, FreshPluginState) {
    auto plugin = Plugin();
    EXPECT_EQ(plugin.DataFolder(), data.path() / "Gyrolog");
    EXPECT_EQ(plugin.SpeedMode(), 0);
    EXPECT_EQ(plugin.TeleportCooldownTicks(), 0u);
    EXPECT_EQ(plugin.SelectedFile(), -1);
    EXPECT_TRUE(plugin.Files().empty());
    EXPECT_TRUE(Run().Name.empty());
    EXPECT_EQ(Run().Data.Hitbox, HitboxType::Other);
}

// A host that calls back off its game thread is a broken host: the callback
// is reported and does nothing, where it could only race with the game.
TEST_F(PluginLifecycleTest, ACallbackOffTheGameThreadIsRefused) {
    Plugin().CreateNewTas("run");
    host.RunLine("tas_insertframes 0 3");
    ASSERT_EQ(Run().Data.Inputs.size(), 3u);
    std::thread([&] { host.RunLine("tas_undo"); }).join();
    EXPECT_EQ(LastLog(), "Error in tas_undo: called off the game thread");
    EXPECT_EQ(Run().Data.Inputs.size(), 3u);
    host.RunLine("tas_undo");
    EXPECT_EQ(Run().Data.Inputs.size(), 0u);
}

TEST_F(PluginLifecycleTest, FreshDefaultsOfAllVariablesInRegistrationOrder) {
    const std::pair<const char*, const char*> expected[] = {
        {"tas_autoreplay", "0"},
        {"tas_recordspeed", "1"},
        {"tas_replayspeed", "1"},
        {"tas_checkthrottle", "0"},
        {"tas_checksteer", "0"},
        {"tas_checkairroll", "0"},
        {"tas_checkhandbrake", "0"},
        {"tas_checkjump", "0"},
        {"tas_checkboost", "1"},
        {"tas_confirmfiledelete", "1"},
        {"tas_confirmoverwritefile", "1"},
        {"tas_confirmoverwriteloadedtas", "1"},
        {"tas_showframe", "0"},
        {"tas_drifttolerance", "1"},
        {"tas_seekspeed", "1"},
        {"tas_quickseek", "1"},
    };
    std::vector<std::string> names;
    for (auto [name, value] : expected) {
        names.push_back(name);
        auto* variable = host.GetConsole().FindVariable(name);
        ASSERT_NE(variable, nullptr) << name;
        EXPECT_EQ(variable->value, value) << name;
        EXPECT_TRUE(variable->searchable && variable->saveToConfig) << name;
        EXPECT_FALSE(variable->hasMin || variable->hasMax) << name;
    }
    std::vector<std::string> registered = host.GetConsole().VariableNames();
    std::erase_if(registered, [](const std::string& name) { return !name.starts_with("tas_"); });
    EXPECT_EQ(registered, names);
    EXPECT_EQ(host.GetConsole().FindVariable("tas_checkboost")->description,
              "Check Activate Boost");
    EXPECT_EQ(host.GetConsole().FindVariable("tas_showframe")->description,
              "Show the frame counter on the overlay");
    EXPECT_EQ(host.GetConsole().FindVariable("tas_seekspeed")->description,
              "Speed for replaying up to a re-record frame");
    EXPECT_EQ(host.GetConsole().FindVariable("tas_quickseek")->description,
              "Re-record and play from the nearest keyframe instead of frame 0");
    EXPECT_EQ(host.GetConsole().CommandNames(),
              (std::vector<std::string>{"tas_start", "tas_stop", "tas_update", "tas_stopandupdate",
                                        "tas_changespeed", "tas_undo", "tas_redo", "tas_recover",
                                        "tas_discardrecovery", "tas_rerecordfrom", "tas_setinput",
                                        "tas_insertframes", "tas_deleteframes", "tas_marker",
                                        "tas_unmarker", "tas_playfrom", "tas_branch",
                                        "tas_branches", "tas_loadbranch", "tas_comparebranch",
                                        "tas_deletebranch"}));
}

TEST_F(PluginLifecycleTest, OverlayShowsNameAndStateAtTheTopCentre) {
    host.screen = {1920, 1080};
    auto strings = host.DrawCanvas();
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings[0].text, "Gyrolog");
    EXPECT_EQ(strings[0].position.X, 905.0f);
    EXPECT_EQ(strings[0].position.Y, 80.0f);
    EXPECT_EQ(strings[1].text, "Stopped");
    EXPECT_EQ(strings[1].position.Y, 118.0f);
    EXPECT_EQ(strings[1].xScale, 3.0f);
    EXPECT_EQ(strings[1].color[3], 255);

    host.screen = {1921, 1080};
    EXPECT_EQ(host.DrawCanvas()[0].position.X, 905.5f);
    host.screen = {0, 0};
    EXPECT_EQ(host.DrawCanvas()[1].position.X, -55.0f);
    Run().State = static_cast<TasState>(7);
    EXPECT_EQ(host.DrawCanvas()[1].text, "Stopped");
    Run().State = TasState::Recording;
    EXPECT_EQ(host.DrawCanvas()[1].text, "Recording");
}

TEST_F(PluginLifecycleTest, FrameLineUnderTheStateWhileRunningWhenShown) {
    host.screen = {1920, 1080};
    CaptureRun();
    Run().Data.Inputs.resize(10);
    host.RunLine("tas_start");
    host.Wait(0.2);
    host.Tick(4, {});
    EXPECT_EQ(host.DrawCanvas().size(), 2u) << "hidden by default";
    host.RunLine("tas_showframe 1");
    auto strings = host.DrawCanvas();
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[2].text, "Frame 4 / 10");
    EXPECT_EQ(strings[2].position.X, 905.0f);
    EXPECT_EQ(strings[2].position.Y, 156.0f);
    EXPECT_EQ(strings[2].yScale, 3.0f);
    EXPECT_EQ(strings[2].color[0], 255);

    host.Tick(6, {});
    EXPECT_EQ(host.DrawCanvas()[2].text, "Frame 10 / 10");
    host.Tick(3, {}); // the first of them takes over at the end
    ASSERT_EQ(Run().State, TasState::Recording);
    EXPECT_EQ(host.DrawCanvas()[2].text, "Frame 13 / 13");
    host.RunLine("tas_stop");
    EXPECT_EQ(host.DrawCanvas().size(), 2u) << "stopped";
}

} // namespace

TEST(PluginFolderListing, ExistingFolderIsListedRightAfterLoad) {
    TempFolder data;
    std::filesystem::create_directories(data.path() / "Gyrolog");
    std::ofstream(data.path() / "Gyrolog" / "kept.data") << "x";
    sim::Host host(data.path());
    ASSERT_TRUE(host.LoadPlugin(exports));
    GyrologTestAccess plugin{*static_cast<Gyrolog*>(host.Plugin())};
    ASSERT_EQ(plugin.Files().size(), 1u);
    EXPECT_EQ(plugin.Files()[0].Name, "kept");
}
