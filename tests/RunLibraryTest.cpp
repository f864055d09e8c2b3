#include "PluginHarness.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <thread>

#include "FailingAllocations.h"

std::atomic<size_t> failingAllocationBytes = SIZE_MAX;

// The address sanitizer keeps its own operators, which a library may call
// (nothrow, aligned) for memory that ours would then free: no replacement there.
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t bytes) {
    if (bytes >= failingAllocationBytes.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(bytes > 0 ? bytes : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

// Not inlined into its callers, where the compiler would take the free for a
// mismatch with the operator new it sees.
[[gnu::noinline]] void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept {
    ::operator delete(memory);
}
#endif

namespace {

namespace fs = std::filesystem;

class RunLibraryTest : public PluginTest {
protected:
    // Writes a run with the given number of frames as name.data.
    void SaveRun(const std::string& name, size_t frames) {
        Run().Name = name;
        Run().Data.Hitbox = HitboxType::Octane;
        Run().Data.Inputs.assign(frames, Input(0.5f));
        Plugin().SaveTas();
    }
    // Writes a run with a trace whose car X is the frame number plus shift,
    // and a keyframe at frame 0 with that boost.
    void SaveTracedRun(const std::string& name, size_t frames, float throttle = 0.5f,
                       float shift = 0.0f) {
        Run().Name = name;
        Run().Data.Hitbox = HitboxType::Octane;
        Run().Data.Inputs.assign(frames, Input(throttle));
        Run().Data.Trace.assign(frames, TraceEntry{});
        for (size_t i = 0; i < frames; ++i) {
            Run().Data.Trace[i].CarLocation.X = static_cast<float>(i) + shift;
        }
        Run().Data.Keyframes.assign(1, Keyframe{});
        Run().Data.Keyframes[0].Boost = shift;
        Plugin().SaveTas();
    }
    fs::path TraceFile(const std::string& name) { return RunFolder() / (name + ".data.trace"); }
    fs::path MarkersFile(const std::string& name) { return RunFolder() / (name + ".data.markers"); }
    std::vector<std::string> ListedNames() {
        std::vector<std::string> names;
        for (auto& file : Plugin().Files()) {
            names.push_back(file.Name);
        }
        return names;
    }
    // The given run names in the order the folder enumerates their files.
    std::vector<std::string> InFolderOrder(const std::set<std::string>& names) {
        std::vector<std::string> ordered;
        for (const auto& entry : fs::directory_iterator(RunFolder())) {
            const std::string stem = entry.path().stem().string();
            if (entry.path().extension() == ".data" && names.contains(stem)) {
                ordered.push_back(stem);
            }
        }
        return ordered;
    }
};

TEST_F(RunLibraryTest, SaveWritesTheFileAndListsIt) {
    SaveRun("abc", 3);
    EXPECT_EQ(LastToast(), "abc saved to file");
    EXPECT_EQ(host.Toasts().back().type, 1);
    EXPECT_EQ(fs::file_size(RunFolder() / "abc.data"), TasFileSize(3, 0));
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"abc"});
    EXPECT_FALSE(fs::exists(RunFolder() / "abc.data.saving"));
}

TEST_F(RunLibraryTest, SaveWithoutNameWritesNothing) {
    fs::remove_all(RunFolder());
    Plugin().SaveTas();
    EXPECT_EQ(LastToast(), "TAS name can't be empty");
    EXPECT_EQ(host.Toasts().back().type, 3);
    EXPECT_FALSE(fs::exists(RunFolder()));
}

TEST_F(RunLibraryTest, SaveRecreatesARemovedFolderWithParents) {
    fs::remove_all(data.path());
    SaveRun("again", 1);
    EXPECT_TRUE(fs::exists(RunFolder() / "again.data"));
    EXPECT_EQ(LastToast(), "again saved to file");
}

TEST_F(RunLibraryTest, RenamedRunIsSavedBesideTheOldFile) {
    SaveRun("old", 1);
    Run().Name = "new";
    Plugin().SaveTas();
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), InFolderOrder({"new", "old"}));
    EXPECT_EQ(ListedNames().size(), 2u);
}

TEST_F(RunLibraryTest, SaveThroughASymlinkReplacesWhatItPointsTo) {
    const fs::path elsewhere = data.path() / "elsewhere";
    fs::create_directory(elsewhere);
    SaveRun("real", 1);
    fs::rename(RunFolder() / "real.data", elsewhere / "real.data");
    fs::create_symlink(elsewhere / "real.data", RunFolder() / "absolute.data");
    fs::create_symlink("../elsewhere/real.data", RunFolder() / "relative.data");
    Plugin().RefreshTasFiles();
    for (auto [name, frames] : {std::pair{"absolute", 4}, std::pair{"relative", 6}}) {
        Plugin().LoadTas(Plugin().FileIndex(name));
        ASSERT_EQ(LastToast(), std::string(name) + " loaded");
        SaveRun(name, frames);
        EXPECT_EQ(LastToast(), std::string(name) + " saved to file");
        EXPECT_TRUE(fs::is_symlink(RunFolder() / (std::string(name) + ".data"))) << name;
        EXPECT_EQ(fs::file_size(elsewhere / "real.data"), TasFileSize(frames, 0)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(RunFolder()), {}), 2);
    // The trace goes beside the name the run is listed by, where its load looks.
    SaveTracedRun("relative", 2);
    EXPECT_TRUE(fs::exists(TraceFile("relative")));
    Plugin().LoadTas(Plugin().FileIndex("relative"));
    EXPECT_EQ(Run().Data.Trace.size(), 2u);
}

TEST_F(RunLibraryTest, SaveOverAFolderOfThatNameFails) {
    fs::create_directory(RunFolder() / "dir.data");
    SaveRun("dir", 1);
    EXPECT_EQ(LastToast(), "Error saving file, check logs");
    EXPECT_TRUE(LastLog().starts_with("Error saving file: ")) << LastLog();
    EXPECT_TRUE(fs::is_directory(RunFolder() / "dir.data"));
    EXPECT_FALSE(fs::exists(RunFolder() / "dir.data.saving"));
}

TEST_F(RunLibraryTest, TraceAndMarkersFilesTravelWithTheirRun) {
    SaveTracedRun("a", 3, 0.5f, 0.25f);
    const std::vector<Marker> markers{{0, "go"}, {2, "flip \xC3\xA9"}};
    Run().Data.Markers = markers;
    Run().Data.Keyframes.push_back(Run().Data.Keyframes[0]);
    Run().Data.Keyframes[1].Frame = 2;
    Plugin().SaveTas();
    EXPECT_EQ(LastToast(), "a saved to file");
    EXPECT_EQ(fs::file_size(RunFolder() / "a.data"), TasFileSize(3, 0)); // still version 1 alone
    EXPECT_EQ(fs::file_size(TraceFile("a")),
              TraceHeaderBytes + 3 * sizeof(TraceEntry) + 8 + 2 * sizeof(Keyframe));
    EXPECT_EQ(FileBytes(MarkersFile("a")), R"({"version":1,"markers":[{"frame":0,"text":"go"},)"
                                           R"({"frame":2,"text":"flip )"
                                           "\xC3\xA9"
                                           R"("}]})"
                                           "\n");
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"a"});

    Run().Reset();
    Plugin().LoadTas(Plugin().FileIndex("a"));
    ASSERT_EQ(Run().Data.Trace.size(), 3u);
    EXPECT_EQ(Run().Data.Trace[2].CarLocation.X, 2.25f);
    ASSERT_EQ(Run().Data.Keyframes.size(), 2u);
    EXPECT_EQ(Run().Data.Keyframes[1].Frame, 2u);
    EXPECT_EQ(Run().Data.Keyframes[1].Boost, 0.25f);
    EXPECT_EQ(Plugin().ReplayCheck().TraceFrames, 3u);
    EXPECT_EQ(Run().Data.Markers, markers);

    // Renamed on the page, then saved: trace and markers go along.
    sim::Ui& ui = host.GetUi();
    ASSERT_EQ(ui.Click("Loaded TAS"), "");
    ui.Frame();
    ASSERT_EQ(ui.Click("Change Name"), "");
    ui.Frame();
    ASSERT_EQ(ui.Edit("TAS Name"), "");
    ui.Type("b");
    ui.Frame();
    ASSERT_EQ(ui.Click("Update"), "");
    ui.Frame();
    ASSERT_EQ(Run().Name, "b");
    Plugin().SaveTas();
    EXPECT_EQ(FileBytes(TraceFile("b")), FileBytes(TraceFile("a")));
    EXPECT_EQ(FileBytes(MarkersFile("b")), FileBytes(MarkersFile("a")));
    Plugin().RefreshTasFiles();
    Plugin().DeleteTas(Plugin().FileIndex("a"));
    EXPECT_FALSE(fs::exists(RunFolder() / "a.data"));
    EXPECT_FALSE(fs::exists(TraceFile("a")));
    EXPECT_FALSE(fs::exists(MarkersFile("a")));
    EXPECT_TRUE(fs::exists(TraceFile("b")));

    // Saved without a trace and markers: the old files must not stay.
    Run().Data.Trace.clear();
    Run().Data.Keyframes.clear();
    Run().Data.Markers.clear();
    Plugin().SaveTas();
    EXPECT_FALSE(fs::exists(TraceFile("b")));
    EXPECT_FALSE(fs::exists(MarkersFile("b")));
    EXPECT_EQ(std::distance(fs::directory_iterator(RunFolder()), {}),
              2); // and the rename's recovery/
}

// A version 1 trace: its digest covers the inputs alone.
std::string VersionOneTrace(const std::vector<VehicleInput>& inputs, size_t entries) {
    std::string bytes = "GYROTRCE";
    auto add = [&](auto value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    add(uint32_t{1});
    add(uint32_t{sizeof(TraceEntry)});
    add(uint64_t{inputs.size()});
    add(InputsDigest(inputs));
    bytes.append(entries * sizeof(TraceEntry), '\0');
    return bytes;
}

TEST_F(RunLibraryTest, TraceOfAnotherRunIsIgnoredWithALine) {
    SaveTracedRun("other", 4);
    SaveTracedRun("short", 2); // its first frames are a's, its digest is not
    SaveTracedRun("changed", 3, 0.75f);
    Run().Data.CarStart.Location.X = 5.0f;
    SaveTracedRun("moved", 3);
    Run().Data.CarStart.Location.X = 0.0f;
    Run().Data.BallStart.Enabled = true;
    SaveTracedRun("ball", 3);
    Run().Data.BallStart.Enabled = false;
    SaveTracedRun("dominus", 3);
    Run().Data.Hitbox = HitboxType::Dominus;
    Plugin().SaveTas();
    SaveTracedRun("a", 3);
    const std::string otherRun =
        "Trace of a ignored, replays are not checked: it was recorded with other inputs, "
        "starting states or hitbox";
    const struct {
        std::string trace;
        std::string line;
    } cases[] = {
        {FileBytes(TraceFile("other")),
         "Trace of a ignored, replays are not checked: it holds 4 frames, the run has 3"},
        {FileBytes(TraceFile("short")), otherRun},
        {FileBytes(TraceFile("changed")), otherRun},
        {FileBytes(TraceFile("moved")), otherRun},
        {FileBytes(TraceFile("ball")), otherRun},
        {FileBytes(TraceFile("dominus")), otherRun},
        {VersionOneTrace(std::vector<VehicleInput>(3, Input(0.75f)), 3),
         "Trace of a ignored, replays are not checked: it was recorded with other inputs"},
        // A version 1 trace is always whole.
        {VersionOneTrace(std::vector<VehicleInput>(2, Input(0.5f)), 2),
         "Trace of a ignored, replays are not checked: it holds 2 frames, the run has 3"},
        {FileBytes(TraceFile("a")) + "x",
         "Trace of a ignored, replays are not checked: not a trace file, or cut short"},
        {"", "Trace of a ignored, replays are not checked: not a trace file, or cut short"},
        {FileBytes(TraceFile("a")).substr(0, 100),
         "Trace of a ignored, replays are not checked: not a trace file, or cut short"},
        {"GYROTRCE and then nothing useful",
         "Trace of a ignored, replays are not checked: not a trace file, or cut short"},
    };
    Plugin().RefreshTasFiles();
    for (const auto& c : cases) {
        WriteFile(TraceFile("a"), c.trace);
        host.ClearRecords();
        Plugin().LoadTas(Plugin().FileIndex("a"));
        EXPECT_EQ(LastLog(), c.line);
        EXPECT_EQ(LastToast(), "a loaded");
        EXPECT_EQ(Run().Data.Inputs.size(), 3u);
        EXPECT_TRUE(Run().Data.Trace.empty());
        EXPECT_TRUE(Run().Data.Keyframes.empty());
        EXPECT_EQ(Plugin().ReplayCheck().TraceFrames, 0u);
    }
    // A version 1 trace of the same inputs still belongs.
    WriteFile(TraceFile("a"), VersionOneTrace(Run().Data.Inputs, 3));
    host.ClearRecords();
    Plugin().LoadTas(Plugin().FileIndex("a"));
    EXPECT_TRUE(host.Logs().empty());
    EXPECT_EQ(Run().Data.Trace.size(), 3u);

    fs::remove(TraceFile("a")); // a run without a trace loads as it always did
    host.ClearRecords();
    Plugin().LoadTas(Plugin().FileIndex("a"));
    EXPECT_TRUE(host.Logs().empty());
    EXPECT_EQ(LastToast(), "a loaded");
}

// The largest address space this process may use from now on: what it has
// mapped plus extra bytes.
void LimitAddressSpaceTo(uint64_t extraBytes) {
    uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto limit = static_cast<rlim_t>(pages * 4096 + extraBytes);
    const rlimit space{limit, limit};
    setrlimit(RLIMIT_AS, &space);
}

TEST_F(RunLibraryTest, TraceHeaderClaimingADamagedRunsFramesAllocatesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer maps far more than any limit allows";
#endif
    // 12 bytes: version 1 and a frame count of 2^20, which loads cut short
    // as 32 MiB of zero inputs.
    std::string run(12, '\0');
    const int32_t version = 1;
    const uint64_t frames = uint64_t{1} << 20;
    std::memcpy(run.data(), &version, 4);
    std::memcpy(run.data() + 4, &frames, 8);
    fs::create_directories(RunFolder());
    WriteFile(RunFolder() / "damaged.data", run);
    // A header that belongs to that run in every way, and no entries: 76 MiB
    // if believed.
    TasData loaded;
    std::istringstream runStream(run);
    ASSERT_EQ(ReadTasData(runStream, loaded).outcome, ReadOutcome::CutShort);
    std::string header = "GYROTRCE";
    auto add = [&](auto value) {
        header.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    add(TraceFormatVersion);
    add(uint32_t{sizeof(TraceEntry)});
    add(frames);
    add(TraceDigest(loaded));
    WriteFile(TraceFile("damaged"), header);
    Plugin().RefreshTasFiles();

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LimitAddressSpaceTo(48 << 20);
            Plugin().LoadTas(Plugin().FileIndex("damaged"));
            const bool ignored =
                Run().Data.Inputs.size() == frames && Run().Data.Trace.empty() &&
                LastLog() ==
                    "Trace of damaged ignored, replays are not checked: not a trace file, or cut "
                    "short";
            std::exit(ignored ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RunLibraryTest, RunAndTraceAreSavedBothOrNeither) {
    SaveTracedRun("a", 3);
    const std::string run = FileBytes(RunFolder() / "a.data");
    const std::string trace = FileBytes(TraceFile("a"));

    // The run file cannot take its place: the old trace comes back.
    fs::remove(RunFolder() / "a.data");
    fs::create_directory(RunFolder() / "a.data");
    SaveTracedRun("a", 5, 0.5f, 100.0f);
    EXPECT_EQ(LastToast(), "Error saving file, check logs");
    EXPECT_EQ(FileBytes(TraceFile("a")), trace);
    fs::remove(RunFolder() / "a.data");
    WriteFile(RunFolder() / "a.data", run);

    // The trace cannot take its place: the old run file stays.
    fs::remove(TraceFile("a"));
    fs::create_directory(TraceFile("a"));
    SaveTracedRun("a", 5, 0.5f, 100.0f);
    EXPECT_EQ(LastToast(), "Error saving file, check logs");
    EXPECT_EQ(FileBytes(RunFolder() / "a.data"), run);
    EXPECT_TRUE(fs::is_directory(TraceFile("a")));
    const std::set<std::string> left = {"a.data", "a.data.trace"};
    for (const auto& entry : fs::directory_iterator(RunFolder())) {
        EXPECT_TRUE(left.contains(entry.path().filename().string())) << entry.path();
    }
}

TEST_F(RunLibraryTest, SaveWhereTheFolderIsAFileFails) {
    fs::remove_all(RunFolder());
    WriteFile(RunFolder(), "not a folder");
    SaveRun("x", 1);
    EXPECT_EQ(LastToast(), "Error saving file, check logs");
    EXPECT_EQ(FileBytes(RunFolder()), "not a folder");
}

TEST_F(RunLibraryTest, FullDiskKeepsTheOlderFileByteForByte) {
    const fs::path small = data.path() / "small";
    fs::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{small};
    fs::create_directory(small / "Gyrolog");
    fs::remove_all(RunFolder());
    fs::create_directory_symlink(small / "Gyrolog", RunFolder());

    SaveRun("full", 100);
    const std::string before = FileBytes(RunFolder() / "full.data");
    ASSERT_EQ(before.size(), TasFileSize(100, 0));
    SaveRun("full", 10000); // 320 kB do not fit
    EXPECT_EQ(LastToast(), "Error saving file, check logs");
    EXPECT_EQ(FileBytes(RunFolder() / "full.data"), before);
    EXPECT_FALSE(fs::exists(RunFolder() / "full.data.saving"));
}

TEST_F(RunLibraryTest, ListingTakesOnlyRegularDotDataFilesInFolderOrder) {
    for (auto name : {"a.data", "b.DATA", "c.data.bak", "d", "e.f.data", "h.data", "i.data",
                      "i.data.markers", "j.data.markers.damaged"}) {
        WriteFile(RunFolder() / name, "x");
    }
    fs::create_directory(RunFolder() / "g.data");
    // Entries whose type cannot be read are passed over, not the end of the list.
    fs::create_symlink("loop.data", RunFolder() / "loop.data");
    fs::create_symlink("missing", RunFolder() / "dangling.data");
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), InFolderOrder({"a", "e.f", "h", "i"}));
    EXPECT_EQ(ListedNames().size(), 4u);
    EXPECT_TRUE(host.Logs().empty());

    host.ClearRecords();
    Plugin().DeleteTas(Plugin().FileIndex("h"));
    EXPECT_FALSE(fs::exists(RunFolder() / "h.data"));
    EXPECT_EQ(ListedNames(), InFolderOrder({"a", "e.f", "i"}));
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_TRUE(host.Logs().empty());
}

TEST_F(RunLibraryTest, ListingAVanishedFolderLeavesAnEmptyList) {
    SaveRun("gone", 1);
    Plugin().RefreshTasFiles();
    fs::remove_all(RunFolder());
    Plugin().RefreshTasFiles();
    EXPECT_TRUE(Plugin().Files().empty());
    EXPECT_TRUE(LastLog().starts_with("Error listing files: "));
    EXPECT_TRUE(host.Errors().empty());
}

TEST_F(RunLibraryTest, LoadReadsTheRunAndEndsTheRunningOne) {
    SaveRun("r", 4);
    CaptureRun("other");
    Run().Data.Inputs.assign(50, VehicleInput{});
    host.RunLine("tas_replayspeed 0.5; tas_start");
    host.Wait(0.2);
    ASSERT_EQ(Run().State, TasState::Replaying);
    host.ClearRecords();
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(0);
    EXPECT_EQ(LastToast(), "r loaded");
    EXPECT_EQ(host.Toasts().back().type, 1);
    EXPECT_EQ(Run().Name, "r");
    EXPECT_EQ(Run().Data.Inputs.size(), 4u);
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(host.ExecutedCommands(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
    EXPECT_EQ(Plugin().SpeedMode(), 0);
}

TEST_F(RunLibraryTest, LoadOutsideTheListDoesNothing) {
    SaveRun("r", 1);
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    Plugin().LoadTas(-1);
    Plugin().LoadTas(1);
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_TRUE(host.Logs().empty());
}

TEST_F(RunLibraryTest, RejectedFileKeepsTheRunAndItsName) {
    SaveRun("mine", 7);
    WriteFile(RunFolder() / "x.data", std::string("\x02\x00\x00\x00", 4) + std::string(132, '\0'));
    WriteFile(RunFolder() / "empty.data", "");
    WriteFile(RunFolder() / "three.data", std::string("\x01\x00\x00", 3));
    Plugin().RefreshTasFiles();
    for (auto name : {"x", "empty", "three"}) {
        host.ClearRecords();
        Plugin().LoadTas(Plugin().FileIndex(name));
        ASSERT_EQ(host.Logs().size(), 1u) << name;
        EXPECT_EQ(LastLog(), "Not a recognized tas, make sure your plugin is up to date "
                             "and file is a tas file");
        EXPECT_EQ(LastToast(), "Error loading file, check logs");
        EXPECT_EQ(host.Toasts().back().type, 3);
        EXPECT_EQ(Run().Name, "mine");
        EXPECT_EQ(Run().Data.Inputs.size(), 7u);
    }
}

TEST_F(RunLibraryTest, DamagedCountIsRefusedAndKeepsTheRun) {
    SaveRun("mine", 7);
    std::string bytes("\x01\x00\x00\x00", 4);
    const uint64_t huge = uint64_t{1} << 50;
    bytes.append(reinterpret_cast<const char*>(&huge), 8);
    WriteFile(RunFolder() / "bad.data", bytes);
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("bad"));
    EXPECT_EQ(LastLog(),
              "Error loading file: frame count 1125899906842624 is far more than the file holds");
    EXPECT_EQ(LastToast(), "Error loading file, check logs");
    EXPECT_EQ(Run().Name, "mine");
    EXPECT_EQ(Run().Data.Inputs.size(), 7u);
}

// A run file and a trace large enough that only their arrays reach the sizes
// at which memory runs out: 640 KB of inputs, 1.5 MB of trace.
constexpr size_t BigRunFrames = 20000;
constexpr size_t MoreThanAnyButTheArrays = 64 * 1024;
constexpr size_t MoreThanTheInputs = 1024 * 1024;

TEST_F(RunLibraryTest, LoadThatRunsOutOfMemoryLeavesTheRunItsTraceAndThePageAsTheyWere) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "allocations cannot be made to fail under the address sanitizer";
#endif
    SaveTracedRun("big", BigRunFrames);
    SaveTracedRun("mine", 7, 0.25f);
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(Plugin().FileIndex("mine"));
    ASSERT_EQ(Plugin().ReplayCheck().TraceFrames, 7u);
    // Recorded after a take-over and not applied yet.
    Run().PendingInputs.push_back(Input(1.0f));
    Run().PendingTrace.push_back(TraceEntry{});
    Run().InputsApplied = false;
    ASSERT_EQ(host.GetUi().Click("Loaded TAS"), "");
    const auto page = sim::Ui::Lines(host.GetUi().Show());

    const std::pair<const char*, size_t> failures[] = {
        {"the run file", MoreThanAnyButTheArrays},
        {"the trace", MoreThanTheInputs},
    };
    for (const auto& [step, limit] : failures) {
        host.ClearRecords();
        {
            const AllocationsFailFrom failing(limit);
            Plugin().LoadTas(Plugin().FileIndex("big"));
        }
        EXPECT_EQ(LastLog(), "Error loading file: std::bad_alloc") << step;
        EXPECT_EQ(LastToast(), "Error loading file, check logs") << step;
        EXPECT_EQ(host.Toasts().back().type, 3) << step;
        EXPECT_EQ(Run().Name, "mine") << step;
        ASSERT_EQ(Run().Data.Inputs.size(), 7u) << step;
        EXPECT_EQ(Run().Data.Inputs[6].Throttle, 0.25f) << step;
        EXPECT_EQ(Run().Data.Trace.size(), 7u) << step;
        EXPECT_EQ(Run().Data.Hitbox, HitboxType::Octane) << step;
        EXPECT_EQ(Run().PendingInputs.size(), 1u) << step;
        EXPECT_FALSE(Run().InputsApplied) << step;
        EXPECT_EQ(Plugin().ReplayCheck().TraceFrames, 7u) << step;
        EXPECT_EQ(sim::Ui::Lines(host.GetUi().Show()), page) << step;
    }
    // With memory enough, the same file loads.
    Plugin().LoadTas(Plugin().FileIndex("big"));
    EXPECT_EQ(LastToast(), "big loaded");
    EXPECT_EQ(Run().Data.Trace.size(), BigRunFrames);
}

TEST_F(RunLibraryTest, FailedLoadStillEndsTheRunningRun) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "allocations cannot be made to fail under the address sanitizer";
#endif
    SaveRun("big", BigRunFrames);
    CaptureRun("other");
    Run().Data.Inputs.assign(50, VehicleInput{});
    host.RunLine("tas_replayspeed 0.5; tas_start");
    host.Wait(0.2);
    ASSERT_EQ(Run().State, TasState::Replaying);
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    {
        const AllocationsFailFrom failing(MoreThanAnyButTheArrays);
        Plugin().LoadTas(Plugin().FileIndex("big"));
    }
    EXPECT_EQ(LastToast(), "Error loading file, check logs");
    EXPECT_EQ(Run().State, TasState::Stopped);
    EXPECT_EQ(host.ExecutedCommands(), std::vector<std::string>{"sv_soccar_gamespeed 1"});
    EXPECT_EQ(Plugin().SpeedMode(), 0);
    EXPECT_EQ(Run().Name, "other");
    EXPECT_EQ(Run().Data.Inputs.size(), 50u);
}

TEST_F(RunLibraryTest, CutShortFileLoadsWithAWarning) {
    SaveRun("short", 3);
    const std::string whole = FileBytes(RunFolder() / "short.data");
    WriteFile(RunFolder() / "short.data", whole.substr(0, 12));
    Plugin().RefreshTasFiles();
    Plugin().LoadTas(0);
    EXPECT_EQ(LastToast(), "short loaded, file was cut short");
    EXPECT_EQ(host.Toasts().back().type, 2);
    ASSERT_EQ(Run().Data.Inputs.size(), 3u);
    EXPECT_EQ(Run().Data.Inputs[0].Throttle, 0.0f);
    EXPECT_EQ(Run().Data.Hitbox, HitboxType::Other);
}

TEST_F(RunLibraryTest, DeleteRemovesTheFileAndRelists) {
    SaveRun("a", 1);
    SaveRun("b", 1);
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    Plugin().DeleteTas(Plugin().FileIndex("a"));
    EXPECT_FALSE(fs::exists(RunFolder() / "a.data"));
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"b"});
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_EQ(Run().Name, "b");
}

TEST_F(RunLibraryTest, DeleteOfAFileAlreadyGoneIsQuiet) {
    SaveRun("a", 1);
    SaveRun("b", 1);
    Plugin().RefreshTasFiles();
    fs::remove(RunFolder() / "a.data");
    host.ClearRecords();
    Plugin().DeleteTas(Plugin().FileIndex("a"));
    EXPECT_TRUE(host.Toasts().empty());
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"b"});
    Plugin().DeleteTas(-1);
    Plugin().DeleteTas(5);
    EXPECT_TRUE(host.Toasts().empty());
}

// Markers are the player's notes, not the run: a file of them that cannot be
// read is moved aside, never lost, and never keeps the run from loading.
TEST_F(RunLibraryTest, MarkersThatCannotBeReadAreSetAsideAndTheRunLoads) {
    const auto one = [](const std::string& marker) {
        return R"({"version": 1, "markers": [)" + marker + "]}";
    };
    const std::string notAMarker = "marker 1 is not a frame number with a text";
    const std::pair<std::string, std::string> cases[] = {
        {"[1, 2", "it is not JSON"},
        {"[]", "it is no object with a version and a list of markers"},
        {R"({"version": 1, "markers": {}})",
         "it is no object with a version and a list of markers"},
        {R"({"version": 2, "markers": []})", "its version 2 is not 1"},
        {one(R"({"frame": "1", "text": "a"})"), notAMarker},
        {one(R"({"frame": -1, "text": "a"})"), notAMarker},
        {one(R"({"frame": 1, "text": 5})"), notAMarker},
        {one(R"({"frame": 2, "text": "a"}, {"frame": 2, "text": "b"})"),
         "marker 2's frame 2 does not come after frame 2"},
        {one(R"({"frame": 4, "text": "a"})"), "marker 1's frame 4 is past the run's end, 4"},
        {one(R"({"frame": 1, "text": ""})"), "marker 1: a marker needs a text"},
        {one(R"({"frame": 1, "text": "a\nb"})"), "marker 1: a marker is one line"},
        {one(R"({"frame": 1, "text": ")" + std::string(201, 'x') + "\"}"),
         "marker 1: a marker is at most 200 bytes"},
    };
    SaveRun("r", 4);
    Plugin().RefreshTasFiles();
    int setAside = 0;
    for (const auto& [bytes, why] : cases) {
        WriteFile(MarkersFile("r"), bytes);
        Run().Reset();
        host.ClearRecords();
        Plugin().LoadTas(Plugin().FileIndex("r"));
        const std::string aside =
            "r.data.markers.damaged" + (setAside++ == 0 ? "" : "-" + std::to_string(setAside));
        const std::string line =
            "Markers of r could not be read (" + why + "): set aside as " + aside;
        EXPECT_EQ(LastLog(), line) << bytes;
        ASSERT_EQ(host.Toasts().size(), 2u) << bytes;
        EXPECT_EQ(host.Toasts()[0].text, "r loaded");
        EXPECT_EQ(host.Toasts()[1].text, line);
        EXPECT_EQ(host.Toasts()[1].type, 2);
        EXPECT_EQ(Run().Data.Inputs.size(), 4u);
        EXPECT_TRUE(Run().Data.Markers.empty());
        EXPECT_FALSE(fs::exists(MarkersFile("r")));
        EXPECT_EQ(FileBytes(RunFolder() / aside), bytes);
    }
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"r"});
}

TEST_F(RunLibraryTest, DeleteSaysWhichTraceFileStays) {
    SaveTracedRun("a", 2);
    SaveTracedRun("b", 2);
    fs::remove(TraceFile("a"));
    fs::create_directory(TraceFile("a")); // not a trace file, and not empty
    WriteFile(TraceFile("a") / "inside", "kept");
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    Plugin().DeleteTas(Plugin().FileIndex("a"));
    EXPECT_FALSE(fs::exists(RunFolder() / "a.data"));
    EXPECT_EQ(FileBytes(TraceFile("a") / "inside"), "kept");
    ASSERT_EQ(host.Logs().size(), 1u);
    EXPECT_EQ(LastLog(), "Deleted a, but its trace file " + TraceFile("a").string() +
                             " stays: it is a folder");
    ASSERT_EQ(host.Toasts().size(), 1u);
    EXPECT_EQ(LastToast(), "a deleted, but not its trace file, check logs");
    EXPECT_EQ(host.Toasts().back().type, 2);
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"b"});

    // A run file that cannot be removed: nothing is, and the delete says so.
    fs::remove(RunFolder() / "b.data");
    fs::create_directory(RunFolder() / "b.data");
    WriteFile(RunFolder() / "b.data" / "inside", "kept");
    host.ClearRecords();
    Plugin().DeleteTas(Plugin().FileIndex("b"));
    EXPECT_EQ(LastToast(), "Error deleting file, check logs");
    EXPECT_TRUE(LastLog().starts_with("Error deleting file: ")) << LastLog();
    EXPECT_TRUE(fs::exists(TraceFile("b")));
}

TEST_F(RunLibraryTest, DeleteWhoseRelistFailsIsReported) {
    SaveRun("a", 1);
    Plugin().RefreshTasFiles();
    fs::remove_all(RunFolder());
    Plugin().DeleteTas(0);
    EXPECT_EQ(LastToast(), "Error deleting file, check logs");
    EXPECT_TRUE(LastLog().starts_with("Error deleting file: "));
}

// Branches: other versions of a run, kept in branches/RUN/ beside its file.
class BranchTest : public RunLibraryTest {
protected:
    void SetUp() override {
        RunLibraryTest::SetUp();
        SaveTracedRun("run", 300);
        Plugin().RefreshTasFiles();
        Plugin().LoadTas(Plugin().FileIndex("run"));
        host.RunLine("tas_drifttolerance 2");
        host.ClearRecords();
    }
    fs::path BranchFile(const std::string& run, const std::string& name) {
        return RunFolder() / "branches" / run / (name + ".data");
    }
    bool Logged(const std::string& line) {
        const auto& logs = host.Logs();
        return std::find(logs.begin(), logs.end(), line) != logs.end();
    }
    // The game's frames go on until the branch is written off the game
    // thread and said; the host's timers run far faster than the disk.
    void Keep(const std::string& name, const std::string& said) {
        host.RunLine("tas_branch " + name);
        for (int i = 0; i < 4000 && !Logged(said); ++i) {
            host.Wait(1.0 / 120);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        ASSERT_TRUE(Logged(said)) << ::testing::PrintToString(host.Logs());
    }
    std::vector<std::string> Said(const std::string& command) {
        host.ClearRecords();
        host.RunLine(command);
        return host.Logs();
    }
};

TEST_F(BranchTest, KeptListedComparedLoadedUndoneAndDeleted) {
    Keep("first try", "Branch first try of run kept: 300 frames");
    EXPECT_TRUE(fs::exists(BranchFile("run", "first try")));
    EXPECT_TRUE(FileBytes(TracePath(BranchFile("run", "first try"))) ==
                FileBytes(TraceFile("run")));
    host.RunLine("tas_setinput 120 129 throttle 1");
    host.RunLine("tas_deleteframes 280 299");
    Run().Data.Trace[100].CarLocation.Y = 3.5f; // as a replay that went elsewhere would trace
    EXPECT_EQ(Said("tas_branches"),
              std::vector<std::string>{
                  "first try: 300 frames, first differs from the loaded run at frame 120"});
    EXPECT_EQ(Said("tas_comparebranch first try"),
              std::vector<std::string>{
                  "Branch first try against run: inputs first differ at frame 120; car positions "
                  "3.5 uu apart at frame 100 (tolerance 2.0 uu); branch 300 frames, loaded run "
                  "280 frames"});
    EXPECT_EQ(Plugin().Branches().View.Get()->ComparedName, "first try");
    Keep("second", "Branch second of run kept: 280 frames");
    EXPECT_EQ(Said("tas_branches"),
              (std::vector<std::string>{
                  "first try: 300 frames, first differs from the loaded run at frame 120",
                  "second: 280 frames, the same as the loaded run"}));

    Run().Data.CarStart.Location.X = 50.0f; // the branch keeps the starts it was kept with
    host.RunLine("tas_loadbranch first try");
    EXPECT_EQ(Run().Data.CarStart.Location.X, 0.0f);
    EXPECT_EQ(Run().Name, "run");
    EXPECT_TRUE(Plugin().Unsaved());
    ASSERT_EQ(Run().Data.Inputs.size(), 300u);
    EXPECT_EQ(Run().Data.Inputs[120].Throttle, 0.5f);
    EXPECT_EQ(Run().Data.Trace.size(), 300u);
    EXPECT_EQ(Run().Data.Trace[100].CarLocation.Y, 0.0f);
    EXPECT_EQ(Said("tas_undo"), std::vector<std::string>{"Undone: load of branch first try"});
    EXPECT_EQ(Run().Data.Inputs.size(), 280u);
    EXPECT_EQ(Run().Data.Inputs[120].Throttle, 1.0f);
    EXPECT_EQ(Run().Data.CarStart.Location.X, 50.0f);
    host.RunLine("tas_redo");
    EXPECT_EQ(Run().Data.Inputs.size(), 300u);

    EXPECT_EQ(Said("tas_deletebranch first try"),
              std::vector<std::string>{"Branch first try of run deleted"});
    EXPECT_FALSE(fs::exists(BranchFile("run", "first try")));
    EXPECT_FALSE(fs::exists(TracePath(BranchFile("run", "first try"))));
    EXPECT_EQ(Plugin().Branches().View.Get()->ComparedName, "");
    EXPECT_EQ(Said("tas_loadbranch first try"),
              std::vector<std::string>{"No branch first try of run"});
    // The branches are the run's, not the run listing's.
    Plugin().RefreshTasFiles();
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"run"});

    // A branch loaded is unsaved work like any change: the journal keeps it.
    host.RunLine("tas_loadbranch second");
    host.UnloadPlugin();
    sim::Host again(data.path());
    ASSERT_TRUE(again.LoadPlugin(exports));
    again.RunLine("tas_recover");
    const Tas& recovered = GyrologTestAccess{*static_cast<Gyrolog*>(again.Plugin())}.Run();
    EXPECT_EQ(recovered.Data.Inputs.size(), 280u);
    EXPECT_EQ(recovered.Data.Inputs[120].Throttle, 1.0f);
    EXPECT_EQ(recovered.Data.Trace.size(), 120u);
    again.UnloadPlugin();
}

TEST_F(BranchTest, RefusalsSayWhy) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"tas_branch", "tas_branch: give a branch's name"},
        {"tas_branch a:b", InvalidNameMessage},
        {"tas_branch CON", DeviceNameMessage},
        {"tas_comparebranch none", "No branch none of run"},
    };
    for (const auto& [command, said] : cases) {
        EXPECT_EQ(Said(command), std::vector<std::string>{said}) << command;
    }
    // A take-over not yet applied is no version of the run yet.
    Run().InputsApplied = false;
    EXPECT_EQ(Said("tas_branch later"),
              std::vector<std::string>{"Apply the new inputs with Update before branching"});
    Run().InputsApplied = true;
    Keep("b", "Branch b of run kept: 300 frames");
    Run().State = TasState::Replaying;
    EXPECT_EQ(Said("tas_loadbranch b"),
              std::vector<std::string>{"Stop the TAS before loading a branch"});
    Run().State = TasState::Stopped;
}

TEST_F(BranchTest, BranchesFollowTheRunsFileAndADamagedOneIsSetAside) {
    Keep("a", "Branch a of run kept: 300 frames");
    Keep("b", "Branch b of run kept: 300 frames");
    // Renamed on the page and saved under the new name: the branches go along.
    Run().Name = "renamed";
    Plugin().SaveTas();
    EXPECT_TRUE(fs::exists(BranchFile("renamed", "a")));
    EXPECT_FALSE(fs::exists(RunFolder() / "branches" / "run"));
    EXPECT_EQ(Plugin().Branches().View.Get()->Rows.size(), 2u);

    const std::string whole = FileBytes(BranchFile("renamed", "b"));
    WriteFile(BranchFile("renamed", "b"), whole.substr(0, whole.size() - 7));
    Plugin().RefreshTasFiles();
    host.ClearRecords();
    Plugin().LoadTas(Plugin().FileIndex("renamed"));
    EXPECT_EQ(Run().Name, "renamed");
    EXPECT_TRUE(Logged("Branch b of renamed could not be read (cut short): set aside as "
                       "b.data.damaged"));
    EXPECT_TRUE(fs::exists(RunFolder() / "branches" / "renamed" / "b.data.damaged"));
    const auto view = Plugin().Branches().View.Get();
    ASSERT_EQ(view->Rows.size(), 1u);
    EXPECT_EQ(view->Rows[0].Name, "a");
    EXPECT_EQ(view->Rows[0].FirstDiffers, std::nullopt);

    // The run's file deleted: its branches go with it.
    Plugin().DeleteTas(Plugin().FileIndex("renamed"));
    EXPECT_FALSE(fs::exists(RunFolder() / "branches" / "renamed"));
    EXPECT_TRUE(Plugin().Branches().View.Get()->Rows.empty());
}

} // namespace
