#pragma once

#include "runs/record/Tas.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The branches of a run: other versions of it kept side by side, each a run
// file pair (with its markers) in branches/RUN/ inside the run folder, named
// after the branch. These know nothing of the host; they throw on failure
// and leave reporting to callers, except where they say otherwise.

// runFolder / "branches" / run.
std::filesystem::path BranchFolderPath(const std::filesystem::path& runFolder,
                                       const std::string& run);

// Why name cannot name a branch of run, or nullptr: the run names' rules,
// the path's length counted in the run's branch folder.
const char* BranchNameProblem(const std::filesystem::path& runFolder, const std::string& run,
                              const std::string& name);

struct Branch {
    std::string Name;
    TasData Data; // with its trace when the trace belongs to it, and its markers
};

struct BranchListing {
    std::vector<Branch> Branches; // by name, byte order
    // One console line for each file that was not read as it is: a branch
    // file that could not be read whole, set aside; a trace that does not
    // belong to its branch, ignored; a markers file set aside.
    std::vector<std::string> Reports;
};

// Reads every branch of run (finishing or undoing the saves a crash left, as
// the run listing does). A branch file that cannot be read whole (not a run
// file, cut short, too large) is moved aside as NAME.data.damaged (or
// .damaged-2, ... as SetFileAside does), with its trace and markers files
// beside it likewise, and reported:
//   "Branch NAME of RUN could not be read (WHY): set aside as NAME.data.damaged"
// never a reason to fail the listing. No folder: no branches. Throws only
// when the folder cannot be listed (ListRunFiles), or memory runs out.
BranchListing ReadBranches(const std::filesystem::path& runFolder, const std::string& run);

// Writes branch name of run, replacing one of that name: a run file pair as a
// save writes it (SaveRun), in the run's branch folder, created as needed.
void SaveBranch(const std::filesystem::path& runFolder, const std::string& run,
                const std::string& name, const TasData& data);

// Removes branch name of run with its trace and markers files: what stays,
// and why, when one of them cannot be removed (nothing when all went). The
// run's branch folder goes once it is empty. Throws when the branch's run
// file cannot be removed.
std::optional<std::string> DeleteBranch(const std::filesystem::path& runFolder,
                                        const std::string& run, const std::string& name);

// After run oldRun was saved as newRun: its branches go with it. The folder
// is renamed when newRun has none; otherwise each branch moves on its own,
// and one whose name newRun's branches already hold stays where it was.
// One console line for each branch that stayed, and why. Never throws.
std::vector<std::string> MoveBranches(const std::filesystem::path& runFolder,
                                      const std::string& oldRun, const std::string& newRun);

// After run's file was deleted: its branch folder goes, whole. Why it stays,
// when it cannot be removed. Never throws.
std::optional<std::string> DeleteBranches(const std::filesystem::path& runFolder,
                                          const std::string& run);
