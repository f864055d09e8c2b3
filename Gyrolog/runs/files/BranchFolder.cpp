#include "runs/files/BranchFolder.h"
#include "runs/files/MarkersFile.h"
#include "runs/files/RunFile.h"
#include "runs/files/RunFolder.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

fs::path BranchFolderPath(const fs::path& runFolder, const std::string& run) {
    return runFolder / "branches" / PathFromUtf8(run);
}

const char* BranchNameProblem(const fs::path& runFolder, const std::string& run,
                              const std::string& name) {
    return RunNameProblem(BranchFolderPath(runFolder, run), name);
}

namespace {

std::string BranchOf(const std::string& name, const std::string& run) {
    return "branch " + name + " of " + run;
}

// "NAME.data.trace stays: WHY"
std::string Stays(const fs::path& file, const std::string& why) {
    return Utf8FromPath(file.filename()) + " stays: " + why;
}

std::string WhyNotWhole(const TasReadResult& file) {
    switch (file.outcome) {
    case ReadOutcome::CutShort:
        return "cut short";
    case ReadOutcome::TooLarge:
        return file.error;
    default:
        return "not a run file";
    }
}

std::vector<TasFile> ListedByName(const fs::path& folder) {
    std::vector<TasFile> files;
    ListRunFiles(folder, files);
    std::sort(files.begin(), files.end(),
              [](const TasFile& a, const TasFile& b) { return a.Name < b.Name; });
    return files;
}

// The branch file goes aside first: its trace and markers follow only once
// it has, so that files that stay, stay together.
std::string SetBranchAside(const TasFile& file, const std::string& run, std::string why) {
    const FileSetAside aside = SetFileAside(file.Path, std::move(why));
    std::string line = SetAsideLine("Branch " + file.Name + " of " + run, aside);
    if (aside.aside.empty()) {
        return line;
    }
    for (const fs::path& beside : {TracePath(file.Path), MarkersPath(file.Path)}) {
        std::error_code error;
        if (!fs::is_regular_file(beside, error)) {
            continue;
        }
        if (const FileSetAside besideAside = SetFileAside(beside, {}); besideAside.aside.empty()) {
            line += "; " + Stays(beside, besideAside.asideFailure);
        }
    }
    return line;
}

void ReadBranch(const TasFile& file, const std::string& run, BranchListing& listing) {
    RunLoadResult loaded = LoadRun(file);
    const std::string branch = BranchOf(file.Name, run);
    if (loaded.markers) {
        listing.Reports.push_back(MarkersSetAsideLine(branch, *loaded.markers));
    }
    if (loaded.file.outcome != ReadOutcome::Loaded) {
        listing.Reports.push_back(SetBranchAside(file, run, WhyNotWhole(loaded.file)));
        return;
    }
    if (loaded.trace && loaded.trace->fit != TraceFit::Belongs) {
        listing.Reports.push_back(
            IgnoredTraceLine(branch, *loaded.trace, loaded.data.Inputs.size()));
    }
    listing.Branches.push_back(Branch{file.Name, std::move(loaded.data)});
}

// Trace and markers first: the branch shows in its new folder only once
// its run file, the last, is there. A move that fails part-way is taken
// back, so that the branch that stays keeps its trace and markers.
void MoveBranch(const fs::path& from, const fs::path& to) {
    std::vector<std::pair<fs::path, fs::path>> moved;
    try {
        for (const auto& [beside, there] : {std::pair{TracePath(from), TracePath(to)},
                                            std::pair{MarkersPath(from), MarkersPath(to)}}) {
            if (fs::exists(fs::symlink_status(beside))) {
                fs::rename(beside, there);
                moved.emplace_back(beside, there);
            }
        }
        fs::rename(from, to);
    } catch (const std::exception&) {
        for (const auto& [back, there] : moved) {
            std::error_code stays; // the failure reported is the move's
            fs::rename(there, back, stays);
        }
        throw;
    }
}

void MoveEachBranch(const fs::path& from, const fs::path& to, const std::string& oldRun,
                    const std::string& newRun, std::vector<std::string>& lines) {
    const std::vector<TasFile> there = ListedByName(to);
    for (const TasFile& branch : ListedByName(from)) {
        const std::string stays = "Branch " + branch.Name + " of " + oldRun + " stays: ";
        const auto clash = std::find_if(there.begin(), there.end(), [&](const TasFile& other) {
            return SameRunName(other.Name, branch.Name);
        });
        if (clash != there.end()) {
            lines.push_back(stays + newRun + " already has a branch " + clash->Name);
            continue;
        }
        try {
            MoveBranch(branch.Path, RunFilePath(to, branch.Name));
        } catch (const std::exception& e) {
            lines.push_back(stays + e.what());
        }
    }
}

} // namespace

BranchListing ReadBranches(const fs::path& runFolder, const std::string& run) {
    const fs::path folder = BranchFolderPath(runFolder, run);
    std::error_code error;
    if (fs::status(folder, error).type() == fs::file_type::not_found) {
        return {};
    }
    BranchListing listing;
    for (const TasFile& file : ListedByName(folder)) {
        ReadBranch(file, run, listing);
    }
    return listing;
}

void SaveBranch(const fs::path& runFolder, const std::string& run, const std::string& name,
                const TasData& data) {
    SaveRun(BranchFolderPath(runFolder, run), name, data);
}

std::optional<std::string> DeleteBranch(const fs::path& runFolder, const std::string& run,
                                        const std::string& name) {
    const fs::path folder = BranchFolderPath(runFolder, run);
    const fs::path file = RunFilePath(folder, name);
    fs::remove(file); // a file already gone is no failure
    std::string left;
    for (const fs::path& beside : {TracePath(file), MarkersPath(file)}) {
        if (auto why = RemoveFileBeside(beside)) {
            left += (left.empty() ? "" : "; ") + Stays(beside, *why);
        }
    }
    std::error_code stays;
    fs::remove(folder, stays); // fails, and so stays, while it holds anything
    return left.empty() ? std::nullopt : std::optional(std::move(left));
}

std::vector<std::string> MoveBranches(const fs::path& runFolder, const std::string& oldRun,
                                      const std::string& newRun) {
    std::vector<std::string> lines;
    if (oldRun == newRun) {
        return lines;
    }
    try {
        const fs::path from = BranchFolderPath(runFolder, oldRun);
        const fs::path to = BranchFolderPath(runFolder, newRun);
        if (!fs::exists(from)) {
            return lines;
        }
        // Names that differ only in case name one folder where case is ignored.
        if (SameRunName(oldRun, newRun) || !fs::exists(to)) {
            fs::rename(from, to);
            return lines;
        }
        MoveEachBranch(from, to, oldRun, newRun, lines);
        std::error_code stays;
        fs::remove(from, stays); // fails, and so stays, while it holds anything
    } catch (const std::exception& e) {
        lines.push_back("Branches of " + oldRun + " stay: " + e.what());
    }
    return lines;
}

std::optional<std::string> DeleteBranches(const fs::path& runFolder, const std::string& run) {
    try {
        std::error_code error;
        fs::remove_all(BranchFolderPath(runFolder, run), error);
        if (error) {
            return error.message();
        }
        return std::nullopt;
    } catch (const std::exception& e) {
        return e.what();
    }
}
