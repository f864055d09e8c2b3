#pragma once

#include "SharedValue.h"
#include "ToastKind.h"
#include "branches/BranchesView.h"
#include "runs/files/FileWorker.h"
#include "runs/record/Tas.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class RunEditor;

// What the branches need of the plugin around them.
struct RunBranchesHost {
    virtual void Log(const std::string& text) = 0;
    virtual void Toast(const std::string& text, ToastKind kind) = 0;
    // Calls next on the game thread about a game frame later.
    virtual void Later(std::function<void()> next) = 0;
    // tas_drifttolerance: how far apart two traced car positions may be.
    virtual float DriftTolerance() = 0;

protected:
    ~RunBranchesHost() = default;
};

// The loaded run's branches: other versions of it kept beside its file,
// loaded in its place, compared with it and deleted. They follow the run: a
// save under a new name takes them along, a deleted run file takes them
// with it. Game thread only; the page reads View.
class RunBranches {
public:
    RunBranches(Tas& run, std::mutex& runLock, RunEditor& editor, RunBranchesHost& host);

    // The run folder, set at load.
    void SetDataFolder(const std::filesystem::path& folder) { DataFolder = folder; }

    // The console's and the page's actions; each says what it did or why not.
    // Keep copies the run a slice a game frame, then writes it off the game
    // thread; it says so once the branch is on the disk.
    void Keep(const std::string& name);
    void List();
    void Load(const std::string& name);
    void Compare(const std::string& name);
    void EndCompare();
    void Delete(const std::string& name);
    // The commands' arguments: one name, its words joined by spaces.
    void Command(const std::vector<std::string>& args,
                 void (RunBranches::*action)(const std::string&));

    // Following the run. Another run is in its place (a load, a new run, a
    // recovery, an undo or redo of one): its branches are read.
    void RunReplaced();
    // The run's frames changed: the rows are compared with them again.
    void RunChanged();
    // Before the run's frames change: the copy of a branch being kept ends.
    void BeforeRunChanges();
    // The run was saved under name; its file under name was deleted.
    void RunSaved(const std::string& name);
    void RunFileDeleted(const std::string& name);
    // At unload: a branch being kept is written whole first.
    void Finish();

    // Published whole on the game thread.
    Published<BranchesView> View;

private:
    struct Kept {
        std::string Name;
        std::shared_ptr<const TasData> Data; // shared with the page's view
        // Against the run's inputs, found when they or the branch change:
        // an hour of them takes a millisecond to scan.
        std::optional<uint64_t> FirstDiffers;
    };
    // A branch being copied out of the run, a slice a game frame, of the
    // run's arrays as they were when it was asked for.
    struct Copy {
        std::string Run;
        std::string Name;
        std::shared_ptr<TasData> Data;
        uint64_t RunChanges = 0; // RunChanges when it was asked for
        size_t Inputs = 0;
        size_t Entries = 0;
        size_t KeyframeCount = 0;
    };
    struct Writing {
        std::string Run;
        std::string Name;
        std::shared_ptr<const TasData> Data;
        uint64_t RunChanges = 0;
    };

    const char* KeepRefused() const;
    std::shared_ptr<const TasData> Find(const std::string& name) const;
    bool Missing(const std::string& name, const std::shared_ptr<const TasData>& found);
    bool CopySlice();
    void HandOver();
    void Advance();
    void Schedule();
    void TakeReports();
    void AwaitWrites();
    void ReadBranchesOf(const std::string& run);
    void ReleaseAll();
    std::optional<uint64_t> FirstDiffers(const TasData& branch) const;
    void Publish();
    void Say(const std::string& text, ToastKind kind);

    Tas& Run;
    std::mutex& RunLock;
    RunEditor& Editor;
    RunBranchesHost& Host;
    std::filesystem::path DataFolder;
    std::string Owner;          // the run whose branches these are
    std::vector<Kept> Branches; // by name
    std::string ComparedName;
    uint64_t RunChanges = 0; // counts the changes to the run's frames
    std::optional<Copy> Copying;
    std::vector<Writing> Written; // handed to Writes, in order: one report each
    bool Waiting = false;         // a Later call is due
    FileWorker Writes;            // last: its thread ends before what it writes from goes
};
