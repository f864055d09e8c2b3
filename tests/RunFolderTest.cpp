// The run folder on its own: real files in a temporary folder, no host.
#include "runs/RunFolder.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

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

TEST_F(RunFolderTest, FailedSaveThrowsAndKeepsTheOldFile) {
    Save("keep", 2);
    const std::string before = FileBytes(Folder() / "keep.data");
    // A folder where the temporary file would go makes the write fail.
    fs::create_directory(Folder() / "keep.data.saving");
    EXPECT_THROW(Save("keep", 5), std::exception);
    EXPECT_EQ(FileBytes(Folder() / "keep.data"), before);
    fs::create_directory(Folder() / "dir.data");
    EXPECT_THROW(Save("dir", 1), std::exception);
    EXPECT_TRUE(fs::is_directory(Folder() / "dir.data"));
}

TEST_F(RunFolderTest, SaveInterruptedBeforeTheRenameLeavesTheOldFile) {
    Save("crash", 2);
    // What a save that died before its rename leaves behind.
    WriteFile(Folder() / "crash.data.saving", "half a run");
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"crash"});
    const RunLoadResult loaded = LoadRun(Listed("crash"));
    EXPECT_EQ(loaded.file.outcome, ReadOutcome::Loaded);
    EXPECT_EQ(loaded.data.Inputs.size(), 2u);
    Save("crash", 4);
    EXPECT_EQ(fs::file_size(Folder() / "crash.data"), TasFileSize(4, 0));
    EXPECT_FALSE(fs::exists(Folder() / "crash.data.saving"));
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

} // namespace
