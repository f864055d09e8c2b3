#include "branches/RunBranches.h"
#include "editor/RunEditor.h"

// Placeholder: the branches are being written.
RunBranches::RunBranches(Tas& run, std::mutex& runLock, RunEditor& editor, RunBranchesHost& host)
    : Run(run), RunLock(runLock), Editor(editor), Host(host) {}
void RunBranches::Keep(const std::string&) {}
void RunBranches::List() {}
void RunBranches::Load(const std::string&) {}
void RunBranches::Compare(const std::string&) {}
void RunBranches::EndCompare() {}
void RunBranches::Delete(const std::string&) {}
void RunBranches::Command(const std::vector<std::string>&,
                          void (RunBranches::*)(const std::string&)) {}
void RunBranches::RunReplaced() {}
void RunBranches::RunChanged() {}
void RunBranches::BeforeRunChanges() {}
void RunBranches::RunSaved(const std::string&) {}
void RunBranches::RunFileDeleted(const std::string&) {}
void RunBranches::Finish() {}
