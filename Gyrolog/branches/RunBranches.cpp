#include "branches/RunBranches.h"
#include "SliceCopy.h"
#include "editor/RunEditor.h"
#include "runs/files/BranchFolder.h"
#include "runs/record/RunCompare.h"

#include <fmt/core.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// About 50 µs of copying a game frame: an hour-long traced run is copied in
// under a second.
constexpr size_t SliceBytes = size_t{512} << 10;

std::string DifferenceText(const std::optional<uint64_t>& frame) {
    return frame ? fmt::format("first differs from the loaded run at frame {}", *frame)
                 : std::string("the same as the loaded run");
}

std::string PathsText(const RunComparison& compared, float tolerance) {
    if (compared.FirstApart) {
        return fmt::format("car positions {:.1f} uu apart at frame {} (tolerance {:.1f} uu)",
                           compared.FirstApart->Distance, compared.FirstApart->Frame, tolerance);
    }
    if (compared.TracedBoth == 0) {
        return "no frame traced in both";
    }
    return fmt::format("car positions within {:.1f} uu over the {} frames traced in both",
                       tolerance, compared.TracedBoth);
}

} // namespace

RunBranches::RunBranches(Tas& run, std::mutex& runLock, RunEditor& editor, RunBranchesHost& host)
    : Run(run), RunLock(runLock), Editor(editor), Host(host) {}

void RunBranches::Say(const std::string& text, ToastKind kind) {
    Host.Log(text);
    Host.Toast(text, kind);
}

std::shared_ptr<const TasData> RunBranches::Find(const std::string& name) const {
    const auto kept = std::find_if(Branches.begin(), Branches.end(),
                                   [&](const Kept& branch) { return branch.Name == name; });
    return kept == Branches.end() ? nullptr : kept->Data;
}

bool RunBranches::Missing(const std::string& name, const std::shared_ptr<const TasData>& found) {
    if (found) {
        return false;
    }
    Say(fmt::format("No branch {} of {}", name, Owner), ToastKind::Error);
    return true;
}

void RunBranches::Command(const std::vector<std::string>& args,
                          void (RunBranches::*action)(const std::string&)) {
    std::string name;
    for (size_t i = 1; i < args.size(); ++i) {
        name += (i > 1 ? " " : "") + args[i];
    }
    if (name.empty()) {
        Host.Log((args.empty() ? std::string("tas_branch") : args[0]) + ": give a branch's name");
        return;
    }
    (this->*action)(name);
}

const char* RunBranches::KeepRefused() const {
    if (Run.Data.Hitbox == HitboxType::Other) {
        return "Load or create a TAS before branching";
    }
    if (!Run.InputsApplied) {
        return "Apply the new inputs with Update before branching";
    }
    if (Copying) {
        return "A branch is still being kept: keep this one once it is";
    }
    return nullptr;
}

// The starts and the small arrays are copied now; the frames, trace and
// keyframes as they are now, a slice a game frame.
void RunBranches::Keep(const std::string& name) {
    TakeReports();
    if (const char* why = KeepRefused()) {
        Say(why, ToastKind::Error);
        return;
    }
    if (const char* why = BranchNameProblem(DataFolder, Owner, name)) {
        Say(why, ToastKind::Error);
        return;
    }
    Copy copy{Owner, name, std::make_shared<TasData>(), RunChanges};
    TasData& data = *copy.Data;
    {
        std::lock_guard lock(RunLock); // the page edits these in place
        data.CarStart = Run.Data.CarStart;
        data.BallStart = Run.Data.BallStart;
        data.Hitbox = Run.Data.Hitbox;
        data.AirSensitivity = Run.Data.AirSensitivity;
        data.SteerSensitivity = Run.Data.SteerSensitivity;
    }
    data.TeleportFrames = Run.Data.TeleportFrames;
    data.Markers = Run.Data.Markers;
    copy.Inputs = Run.Data.Inputs.size();
    copy.Entries = Run.Data.TracedFrames();
    copy.KeyframeCount = copy.Entries > 0 ? Run.Data.Keyframes.size() : 0;
    data.Inputs.reserve(copy.Inputs);
    data.Trace.reserve(copy.Entries);
    data.Keyframes.reserve(copy.KeyframeCount);
    Copying = std::move(copy);
    Advance();
}

bool RunBranches::CopySlice() {
    TasData& data = *Copying->Data;
    return ::CopySlice(data.Inputs, Run.Data.Inputs, Copying->Inputs, SliceBytes) &&
           ::CopySlice(data.Trace, Run.Data.Trace, Copying->Entries, SliceBytes) &&
           ::CopySlice(data.Keyframes, Run.Data.Keyframes, Copying->KeyframeCount, SliceBytes);
}

void RunBranches::HandOver() {
    Copy copy = std::move(*Copying);
    Copying.reset();
    std::shared_ptr<const TasData> data = std::move(copy.Data);
    Written.push_back(Writing{copy.Run, copy.Name, data, copy.RunChanges});
    Writes.Post([folder = DataFolder, run = copy.Run, name = copy.Name, data]() -> std::string {
        try {
            SaveBranch(folder, run, name, *data);
            return {};
        } catch (const std::exception& e) {
            return e.what();
        }
    });
}

// A game frame's share: a slice of the copy, then the writes' reports.
void RunBranches::Advance() {
    if (Copying && CopySlice()) {
        HandOver();
    }
    TakeReports();
    Schedule();
}

void RunBranches::Schedule() {
    if (Waiting || (!Copying && Written.empty())) {
        return;
    }
    Waiting = true;
    Host.Later([this] {
        Waiting = false;
        Advance();
    });
}

void RunBranches::TakeReports() {
    if (Writes.HasReports()) {
        for (const std::string& failure : Writes.TakeReports()) {
            Writing done = std::move(Written.front());
            Written.erase(Written.begin());
            if (!failure.empty()) {
                Host.Log(
                    fmt::format("Error keeping branch {} of {}: {}", done.Name, done.Run, failure));
                Host.Toast("Error keeping the branch, check logs", ToastKind::Error);
                continue;
            }
            Host.Log(fmt::format("Branch {} of {} kept: {} frames", done.Name, done.Run,
                                 done.Data->Inputs.size()));
            Host.Toast("Branch " + done.Name + " kept", ToastKind::Success);
            if (done.Run != Owner) {
                continue; // another run is loaded since: its own branches show
            }
            const auto at = std::lower_bound(
                Branches.begin(), Branches.end(), done.Name,
                [](const Kept& branch, const std::string& name) { return branch.Name < name; });
            // Kept from the run as it still is: no scan says more.
            const std::optional<uint64_t> differs =
                done.RunChanges == RunChanges ? std::nullopt : FirstDiffers(*done.Data);
            if (at != Branches.end() && at->Name == done.Name) {
                Writes.Release(std::move(at->Data));
                *at = Kept{done.Name, std::move(done.Data), differs};
            } else {
                Branches.insert(at, Kept{done.Name, std::move(done.Data), differs});
            }
        }
    }
    Publish();
}

// Before files of the branches change: a branch on its way is on the disk.
void RunBranches::AwaitWrites() {
    BeforeRunChanges();
    Writes.Await();
    TakeReports();
}

void RunBranches::BeforeRunChanges() {
    while (Copying) {
        if (CopySlice()) {
            HandOver();
        }
    }
}

void RunBranches::List() {
    TakeReports();
    if (Owner.empty()) {
        Host.Log("Load or create a TAS before branching");
        return;
    }
    if (Branches.empty()) {
        Host.Log("No branches of " + Owner);
        return;
    }
    for (const Kept& branch : Branches) {
        Host.Log(fmt::format("{}: {} frames, {}", branch.Name, branch.Data->Inputs.size(),
                             DifferenceText(branch.FirstDiffers)));
    }
}

void RunBranches::Load(const std::string& name) {
    const std::shared_ptr<const TasData> branch = Find(name);
    if (Missing(name, branch)) {
        return;
    }
    if (Run.State != TasState::Stopped) {
        Say("Stop the TAS before loading a branch", ToastKind::Error);
        return;
    }
    if (!Run.InputsApplied) {
        Say("Apply the new inputs with Update before loading a branch", ToastKind::Error);
        return;
    }
    VersionChange version;
    version.Frames.Removed = Run.Data.Inputs.size();
    version.Frames.Inputs = branch->Inputs;
    version.Frames.Teleports = branch->TeleportFrames;
    version.Frames.Markers = branch->Markers;
    version.Frames.TraceTail = branch->Trace;
    version.Frames.KeyframesTail = branch->Keyframes;
    version.Car = branch->CarStart;
    version.Ball = branch->BallStart;
    Editor.ReplaceVersion(std::move(version), "load of branch " + name);
    Host.Log(
        fmt::format("Branch {} loaded into {}: {} frames", name, Owner, branch->Inputs.size()));
    Host.Toast("Branch " + name + " loaded", ToastKind::Success);
}

void RunBranches::Compare(const std::string& name) {
    const std::shared_ptr<const TasData> branch = Find(name);
    if (Missing(name, branch)) {
        return;
    }
    const float tolerance = Host.DriftTolerance();
    const RunComparison compared = CompareRuns(*branch, Run.Data, tolerance);
    const std::string inputs =
        compared.FirstDiffering
            ? fmt::format("inputs first differ at frame {}", *compared.FirstDiffering)
            : std::string("inputs the same");
    Host.Log(fmt::format("Branch {} against {}: {}; {}; branch {} frames, loaded run {} frames",
                         name, Owner, inputs, PathsText(compared, tolerance), compared.FramesA,
                         compared.FramesB));
    ComparedName = name;
    Publish();
}

void RunBranches::EndCompare() {
    ComparedName.clear();
    Publish();
}

void RunBranches::Delete(const std::string& name) {
    if (Missing(name, Find(name))) {
        return;
    }
    AwaitWrites();
    try {
        if (auto left = DeleteBranch(DataFolder, Owner, name)) {
            Host.Log(fmt::format("Branch {} of {} deleted, but {}", name, Owner, *left));
        }
    } catch (const std::exception& e) {
        Host.Log(fmt::format("Error deleting branch {} of {}: {}", name, Owner, e.what()));
        Host.Toast("Error deleting the branch, check logs", ToastKind::Error);
        return;
    }
    const auto gone = std::find_if(Branches.begin(), Branches.end(),
                                   [&](const Kept& branch) { return branch.Name == name; });
    Writes.Release(std::move(gone->Data));
    Branches.erase(gone);
    if (ComparedName == name) {
        ComparedName.clear();
    }
    Host.Log(fmt::format("Branch {} of {} deleted", name, Owner));
    Publish();
}

void RunBranches::ReadBranchesOf(const std::string& run) {
    Owner = run;
    ReleaseAll();
    ComparedName.clear();
    if (DataFolder.empty() || Owner.empty()) {
        Publish();
        return;
    }
    try {
        BranchListing listing = ReadBranches(DataFolder, Owner);
        for (Branch& branch : listing.Branches) {
            const std::optional<uint64_t> differs = FirstDiffers(branch.Data);
            Branches.push_back(Kept{std::move(branch.Name),
                                    std::make_shared<const TasData>(std::move(branch.Data)),
                                    differs});
        }
        for (const std::string& line : listing.Reports) {
            Host.Log(line);
        }
        if (!listing.Reports.empty()) {
            Host.Toast("Not every branch of " + Owner + " could be read, check logs",
                       ToastKind::Warning);
        }
    } catch (const std::exception& e) {
        Host.Log(fmt::format("Error reading the branches of {}: {}", Owner, e.what()));
        Host.Toast("Error reading the branches, check logs", ToastKind::Error);
    }
    Publish();
}

void RunBranches::RunReplaced() {
    AwaitWrites(); // a branch of the run going is written, and one of the run coming shows
    std::string name;
    {
        std::lock_guard lock(RunLock); // the page renames in place
        name = Run.Name;
    }
    ReadBranchesOf(Run.Data.Hitbox == HitboxType::Other ? std::string() : name);
}

void RunBranches::RunChanged() {
    ++RunChanges;
    for (Kept& branch : Branches) {
        branch.FirstDiffers = FirstDiffers(*branch.Data);
    }
    Publish();
}

std::optional<uint64_t> RunBranches::FirstDiffers(const TasData& branch) const {
    return FirstDifferingFrame(branch.Inputs, Run.Data.Inputs);
}

void RunBranches::RunSaved(const std::string& name) {
    if (name == Owner || Owner.empty()) {
        Owner = Owner.empty() ? name : Owner;
        return;
    }
    AwaitWrites();
    for (const std::string& line : MoveBranches(DataFolder, Owner, name)) {
        Host.Log(line);
    }
    ReadBranchesOf(name);
}

void RunBranches::RunFileDeleted(const std::string& name) {
    AwaitWrites();
    if (auto why = DeleteBranches(DataFolder, name)) {
        Host.Log(fmt::format("The branches of {} stay: {}", name, *why));
        Host.Toast("The run's branches stay, check logs", ToastKind::Warning);
    }
    if (name == Owner) {
        ReleaseAll();
        ComparedName.clear();
        Publish();
    }
}

void RunBranches::ReleaseAll() {
    for (Kept& branch : Branches) {
        Writes.Release(std::move(branch.Data));
    }
    Branches.clear();
}

void RunBranches::Finish() {
    AwaitWrites();
}

void RunBranches::Publish() {
    BranchesView view;
    view.Run = Owner;
    for (const Kept& branch : Branches) {
        view.Rows.push_back(
            BranchRow{branch.Name, branch.Data->Inputs.size(), branch.FirstDiffers});
        if (branch.Name == ComparedName) {
            view.ComparedName = ComparedName;
            view.Compared = branch.Data;
        }
    }
    view.Keeping = Copying ? Copying->Name : Written.empty() ? std::string() : Written.back().Name;
    View.Publish(std::move(view));
}
