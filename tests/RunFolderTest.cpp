// The run folder on its own: real files in a temporary folder, no host.
#include "runs/files/RunFolder.h"
#include "TempFolder.h"
#include "runs/files/BranchFolder.h"
#include "runs/files/RunFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class RunFolderTest : public ::testing::Test {
protected:
    fs::path Folder() const { return temp.path() / "Gyrolog"; }

    // Saves a run of the given number of frames under name.
    void Save(const std::string& name, size_t frames) {
        TasData data;
        data.Hitbox = HitboxType::Octane;
        data.Inputs.assign(frames, VehicleInput{0.5f});
        SaveRun(Folder(), name, data);
    }

    std::vector<std::string> ListedNames() {
        std::vector<TasFile> files;
        ListRunFiles(Folder(), files);
        std::vector<std::string> names;
        for (const auto& file : files) {
            names.push_back(file.Name);
        }
        return names;
    }

    TasFile Listed(const std::string& name) {
        std::vector<TasFile> files;
        ListRunFiles(Folder(), files);
        for (const auto& file : files) {
            if (file.Name == name) {
                return file;
            }
        }
        ADD_FAILURE() << name << " is not listed";
        return {};
    }

    TempFolder temp;
};

TEST_F(RunFolderTest, SaveCreatesTheFolderWithParentsAndReplacesTheFile) {
    fs::remove_all(temp.path());
    Save("abc", 3);
    EXPECT_EQ(fs::file_size(Folder() / "abc.data"), TasFileSize(3, 0));
    Save("abc", 5);
    EXPECT_EQ(fs::file_size(Folder() / "abc.data"), TasFileSize(5, 0));
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"abc"});
    EXPECT_FALSE(fs::exists(Folder() / "abc.data.saving"));
}

TEST_F(RunFolderTest, SaveTouchesNoFileItDidNotMake) {
    Save("keep", 2);
    // What an older save left, of the name it wrote aside under: not this save's.
    fs::create_directory(Folder() / "keep.data.saving");
    WriteFile(Folder() / "keep.data.trace.saving", "someone's");
    Save("keep", 5);
    EXPECT_EQ(fs::file_size(Folder() / "keep.data"), TasFileSize(5, 0));
    EXPECT_TRUE(fs::is_directory(Folder() / "keep.data.saving"));
    EXPECT_EQ(FileBytes(Folder() / "keep.data.trace.saving"), "someone's");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), {}), 3);

    fs::create_directory(Folder() / "dir.data");
    EXPECT_THROW(Save("dir", 1), std::exception);
    EXPECT_TRUE(fs::is_directory(Folder() / "dir.data"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), {}), 4);
}

// What a save ended at each of its steps leaves, resolved by the next
// listing: the pair current at that step, and nothing else of the save.
TEST_F(RunFolderTest, ListingResolvesWhatAnInterruptedSaveLeft) {
    TasData old;
    old.Hitbox = HitboxType::Octane;
    old.Inputs.assign(2, VehicleInput{0.5f});
    old.Trace.assign(2, TraceEntry{});
    TasData fresh;
    fresh.Hitbox = HitboxType::Octane;
    fresh.Inputs.assign(3, VehicleInput{1.0f});
    fresh.Trace.assign(3, TraceEntry{});
    const auto bytes = [](const TasData& data, bool trace) {
        std::ostringstream stream;
        trace ? WriteTrace(stream, data) : WriteTas(stream, data);
        return stream.str();
    };
    const fs::path run = Folder() / "crash.data";
    const fs::path trace = Folder() / "crash.data.trace";
    const fs::path record = Folder() / "crash.data.trace.0123abcd.saving";
    const fs::path runAside = Folder() / "crash.data.0123abcd.saving";
    const struct {
        const char* step;
        std::string run, trace, record, runAside;
        std::string runAfter, traceAfter; // "" for no file
        bool recorded = true;             // false: a single-file write (an import)
    } cases[] = {
        {"record made", bytes(old, false), bytes(old, true), "", "", bytes(old, false),
         bytes(old, true)},
        {"run half written", bytes(old, false), bytes(old, true), "", "half a run",
         bytes(old, false), bytes(old, true)},
        {"trace half written", bytes(old, false), bytes(old, true), "GYROTRCE half",
         bytes(fresh, false), bytes(old, false), bytes(old, true)},
        {"run in place", bytes(fresh, false), bytes(old, true), bytes(fresh, true), "",
         bytes(fresh, false), bytes(fresh, true)},
        {"run without a trace in place", bytes(fresh, false), bytes(old, true), "", "",
         bytes(fresh, false), ""},
        {"first save, run half written", "", "", "", "half a run", "", ""},
        {"import at its rename", bytes(old, false), bytes(old, true), "", "half a run",
         bytes(old, false), bytes(old, true), false},
    };
    for (const auto& c : cases) {
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        for (auto [path, content] :
             {std::pair{run, c.run}, std::pair{trace, c.trace}, std::pair{runAside, c.runAside}}) {
            if (!content.empty()) {
                WriteFile(path, content);
            }
        }
        if (c.recorded) {
            WriteFile(record, c.record);
        }
        const std::vector<std::string> listed = ListedNames();
        EXPECT_EQ(listed.size(), c.runAfter.empty() ? 0u : 1u) << c.step;
        EXPECT_EQ(FileBytes(run), c.runAfter) << c.step;
        EXPECT_EQ(fs::exists(trace), !c.traceAfter.empty()) << c.step;
        EXPECT_EQ(FileBytes(trace), c.traceAfter) << c.step;
        EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), {}),
                  !c.runAfter.empty() + !c.traceAfter.empty())
            << c.step;
    }
    // The markers, written after the pair, that did not get to their rename.
    WriteFile(Folder() / "crash.data.markers.0123abcd.saving", "{\"ver");
    ListedNames();
    EXPECT_FALSE(fs::exists(Folder() / "crash.data.markers.0123abcd.saving"));
}

// Which entries are listed, and in what order, is tested through the plugin.
TEST_F(RunFolderTest, ListingAMissingFolderThrows) {
    std::vector<TasFile> none;
    EXPECT_THROW(ListRunFiles(temp.path() / "missing", none), std::exception);
}

TEST_F(RunFolderTest, LoadTellsLoadedRejectedAndCutShort) {
    Save("whole", 4);
    fs::create_directory(Folder());
    WriteFile(Folder() / "other.data", std::string("\x02\x00\x00\x00", 4) + std::string(132, '\0'));
    const std::string whole = FileBytes(Folder() / "whole.data");
    WriteFile(Folder() / "short.data", whole.substr(0, 12));

    const RunLoadResult loaded = LoadRun(Listed("whole"));
    EXPECT_EQ(loaded.file.outcome, ReadOutcome::Loaded);
    EXPECT_EQ(loaded.data.Inputs.size(), 4u);
    EXPECT_EQ(loaded.data.Hitbox, HitboxType::Octane);

    EXPECT_EQ(LoadRun(Listed("other")).file.outcome, ReadOutcome::Rejected);

    const RunLoadResult cut = LoadRun(Listed("short"));
    EXPECT_EQ(cut.file.outcome, ReadOutcome::CutShort);
    EXPECT_EQ(cut.data.Inputs.size(), 4u);
    EXPECT_EQ(cut.data.Hitbox, HitboxType::Other);
}

TEST_F(RunFolderTest, DeleteRelistsAndAFileAlreadyGoneIsNoFailure) {
    Save("a", 1);
    Save("b", 1);
    std::vector<TasFile> files;
    const TasFile a = Listed("a");
    DeleteRun(a, Folder(), files);
    EXPECT_FALSE(fs::exists(Folder() / "a.data"));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Name, "b");
    DeleteRun(a, Folder(), files);
    EXPECT_EQ(files.size(), 1u);
    fs::remove_all(Folder());
    EXPECT_THROW(DeleteRun(a, Folder(), files), std::exception);
}

// Dear ImGui's text is UTF-8: a name typed on the page must be the file's name
// as the system shows it, and come back from the listing as the same bytes.
TEST_F(RunFolderTest, NonAsciiNamesRoundTripAsUtf8) {
    const std::string name = "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xD0\x81"; // été 日本 Ё
    Save(name, 2);
    EXPECT_TRUE(fs::exists(Folder() / fs::path(u8"\u00E9t\u00E9 \u65E5\u672C \u0401.data")));
    EXPECT_EQ(ListedNames(), std::vector<std::string>{name});
    EXPECT_EQ(LoadRun(Listed(name)).file.outcome, ReadOutcome::Loaded);
    std::vector<TasFile> files;
    DeleteRun(Listed(name), Folder(), files);
    EXPECT_TRUE(files.empty());
}

TEST_F(RunFolderTest, FilesWithoutARunNameAreNotListed) {
    Save("run", 1);
    std::ofstream(Folder() / ".data") << "x";
#if !defined(_WIN32)
    // Windows keeps names as UTF-16; other systems take any bytes.
    std::ofstream(Folder() / "\xED\xA0\xBD.data") << "x";
#endif
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"run"});
}

// A run file held open elsewhere (an editor, gyrolog-run) cannot be replaced
// on Windows: the save must fail and leave the old file as it was.
#if defined(_WIN32)
TEST_F(RunFolderTest, SaveOverAFileHeldOpenFailsAndKeepsIt) {
    Save("held", 2);
    const std::string before = FileBytes(Folder() / "held.data");
    {
        std::ifstream holder(Folder() / "held.data", std::ios::binary);
        ASSERT_TRUE(holder.is_open());
        EXPECT_THROW(Save("held", 5), std::exception);
    }
    EXPECT_EQ(FileBytes(Folder() / "held.data"), before);
    EXPECT_FALSE(fs::exists(Folder() / "held.data.saving"));
    Save("held", 5);
    EXPECT_EQ(fs::file_size(Folder() / "held.data"), TasFileSize(5, 0));
}
#endif

// Windows opens a device for these names, whatever the folder and extension.
TEST_F(RunFolderTest, DeviceNamesAreRefusedAndWriteNothing) {
    for (auto name : {"con", "NUL", "com1", "Lpt9", "aux", "prn", "con "}) {
        EXPECT_THROW(Save(name, 1), std::exception) << name;
        EXPECT_FALSE(IsValidTasName(name)) << name;
        EXPECT_STREQ(TasNameProblem(name), DeviceNameMessage) << name;
    }
    EXPECT_FALSE(fs::exists(Folder()));
    for (auto name : {"console", "com10", "lpt", "nul1x", "my con"}) {
        EXPECT_TRUE(IsValidTasName(name)) << name;
    }
}

TEST(NameRule, RefusesEmptyAndForbiddenCharacters) {
    EXPECT_FALSE(IsValidTasName(""));
    for (auto name : {"run.2", "a/b", "a\\b", "a:b", "a*", "?", "\"", "<", ">", "|"}) {
        EXPECT_FALSE(IsValidTasName(name)) << name;
    }
    EXPECT_TRUE(IsValidTasName("my run"));
    EXPECT_TRUE(IsValidTasName("\xC3\xA9t\xC3\xA9"));
    EXPECT_STREQ(TasNameProblem(""), EmptyNameMessage);
    EXPECT_STREQ(TasNameProblem("a.b"), InvalidNameMessage);
    EXPECT_EQ(TasNameProblem("ok"), nullptr);
}

// What a backend that splits characters outside the basic plane into their
// UTF-16 halves types, and other bytes that are no text.
TEST(NameRule, RefusesWhatIsNotUtf8) {
    for (auto name : {"\xED\xA0\xBD\xED\xB8\x80", "\xF0\x8D\xA0\xBD", "a\x80", "\xC3", "\xC0\xAF",
                      "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xFF", "\xE6\x97"}) {
        EXPECT_FALSE(IsValidUtf8(name)) << name;
        EXPECT_STREQ(TasNameProblem(name), InvalidTextMessage) << name;
        EXPECT_THROW(PathFromUtf8(name), std::invalid_argument) << name;
    }
    for (auto text :
         {"\xF0\x9F\x98\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xF4\x8F\xBF\xBF", "\xC2\x80"}) {
        EXPECT_TRUE(IsValidUtf8(text)) << text;
    }
}

// The folder's own path leaves less room than the name's 200 bytes: a run
// folder under %APPDATA% holds names of about 165.
TEST_F(RunFolderTest, TheLongestNameSavesAgainAndAgain) {
    const std::string longest(MaxTasNameBytes, 'n');
    EXPECT_TRUE(IsValidTasName(longest));
    EXPECT_STREQ(TasNameProblem(longest + "n"), LongNameMessage);
    ASSERT_LT(RoomForName(Folder()), MaxTasNameBytes);
    const std::string fits(RoomForName(Folder()), 'n');
    EXPECT_STREQ(RunNameProblem(Folder(), fits + "n"), LongPathMessage);
    for (int i = 0; i < 3; ++i) {
        Save(fits, 2);
    }
    EXPECT_THROW(Save(fits + "n", 2), std::invalid_argument);
    EXPECT_THROW(Save("N" + fits.substr(1), 2), std::invalid_argument); // one file on Windows
    EXPECT_EQ(ListedNames(), std::vector<std::string>{fits});
    EXPECT_FALSE(SameRunName("\xC3\xA9", "\xC3\x89")); // é and É: left to the file system
}

// A run's branches, in branches/RUN/ beside the run files, which the
// run listing passes over.
TEST_F(RunFolderTest, BranchesRoundTripAndTheRunListingPassesThemOver) {
    Save("run", 2);
    TasData data;
    data.Hitbox = HitboxType::Octane;
    data.Inputs.assign(3, VehicleInput{0.5f});
    data.Trace.assign(3, TraceEntry{});
    data.Keyframes.emplace_back().Frame = 2;
    data.Markers.push_back(Marker{1, "flip"});
    for (auto name : {"b", "a"}) {
        SaveBranch(Folder(), "run", name, data);
    }
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"run"});
    const BranchListing listing = ReadBranches(Folder(), "run");
    ASSERT_EQ(listing.Branches.size(), 2u);
    EXPECT_EQ(listing.Branches[0].Name, "a");
    EXPECT_EQ(listing.Branches[1].Data.Trace.size(), 3u);
    EXPECT_EQ(listing.Branches[1].Data.Keyframes.size(), 1u);
    EXPECT_EQ(listing.Branches[1].Data.Markers, data.Markers);
    EXPECT_TRUE(listing.Reports.empty());
    EXPECT_TRUE(ReadBranches(Folder(), "none").Branches.empty());

    // Moved whole to a run without branches; one by one into one with some.
    SaveBranch(Folder(), "other", "A", data);
    EXPECT_TRUE(MoveBranches(Folder(), "run", "new").empty());
    EXPECT_FALSE(fs::exists(BranchFolderPath(Folder(), "run")));
    EXPECT_EQ(MoveBranches(Folder(), "new", "other"),
              std::vector<std::string>{"Branch a of new stays: other already has a branch A"});
    EXPECT_TRUE(fs::exists(RunFilePath(BranchFolderPath(Folder(), "new"), "a")));
    EXPECT_TRUE(fs::exists(MarkersPath(RunFilePath(BranchFolderPath(Folder(), "other"), "b"))));
    EXPECT_EQ(ReadBranches(Folder(), "other").Branches[1].Data.Trace.size(), 3u);
    // A branch whose run file cannot move keeps its trace and markers.
    SaveBranch(Folder(), "new", "c", data);
    const fs::path stuck = RunFilePath(BranchFolderPath(Folder(), "new"), "c");
    fs::create_directories(RunFilePath(BranchFolderPath(Folder(), "other"), "c") / "x");
    ASSERT_EQ(MoveBranches(Folder(), "new", "other").size(), 2u);
    EXPECT_TRUE(fs::exists(TracePath(stuck)) && fs::exists(MarkersPath(stuck)));
    EXPECT_EQ(DeleteBranch(Folder(), "new", "c"), std::nullopt);

    EXPECT_EQ(DeleteBranch(Folder(), "new", "a"), std::nullopt);
    EXPECT_FALSE(fs::exists(BranchFolderPath(Folder(), "new")));
    EXPECT_EQ(DeleteBranches(Folder(), "other"), std::nullopt);
    EXPECT_FALSE(fs::exists(BranchFolderPath(Folder(), "other")));
}

TEST_F(RunFolderTest, ABranchNotReadWholeIsSetAsideWithItsFiles) {
    SaveBranch(Folder(), "run", "ok", TasData{});
    const fs::path folder = BranchFolderPath(Folder(), "run");
    const std::string whole = FileBytes(RunFilePath(folder, "ok"));
    const struct {
        const char* name;
        std::string bytes;
        const char* why;
    } cases[] = {{"cut", whole.substr(0, 12), "cut short"},
                 {"junk", "not a run", "not a run file"}};
    for (const auto& c : cases) {
        WriteFile(RunFilePath(folder, c.name), c.bytes);
        WriteFile(TracePath(RunFilePath(folder, c.name)), "trace");
    }
    WriteFile(RunFilePath(folder, "junk").concat(".damaged"), "older");
    const BranchListing listing = ReadBranches(Folder(), "run");
    EXPECT_EQ(listing.Reports,
              (std::vector<std::string>{
                  "Branch cut of run could not be read (cut short): set aside as cut.data.damaged",
                  "Branch junk of run could not be read (not a run file): set aside as "
                  "junk.data.damaged-2"}));
    ASSERT_EQ(listing.Branches.size(), 1u);
    EXPECT_EQ(listing.Branches[0].Name, "ok");
    EXPECT_EQ(FileBytes(folder / "cut.data.trace.damaged"), "trace");
    EXPECT_EQ(FileBytes(folder / "junk.data.damaged-2"), "not a run");
}

} // namespace
