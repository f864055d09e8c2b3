#include "branches/BranchCommands.h"
#include "Guarded.h"

namespace {

void RegisterNamed(CVarManagerWrapper& cvars, RunBranches& branches, const char* command,
                   void (RunBranches::*action)(const std::string&), const char* description) {
    cvars.registerNotifier(
        command,
        [&branches, command, action](std::vector<std::string> args) {
            GuardedOnGame(command, [&] { branches.Command(args, action); });
        },
        description, 0);
}

} // namespace

void RegisterBranchCommands(CVarManagerWrapper& cvars, RunBranches& branches) {
    RegisterNamed(cvars, branches, "tas_branch", &RunBranches::Keep,
                  "Keep the loaded TAS as branch NAME");
    cvars.registerNotifier(
        "tas_branches",
        [&branches](std::vector<std::string>) {
            GuardedOnGame("tas_branches", [&] { branches.List(); });
        },
        "List the loaded TAS's branches", 0);
    RegisterNamed(cvars, branches, "tas_loadbranch", &RunBranches::Load,
                  "Load branch NAME as the loaded TAS's version, one undo step");
    RegisterNamed(cvars, branches, "tas_comparebranch", &RunBranches::Compare,
                  "Say where branch NAME and the loaded TAS part, and show it in the Inputs tab");
    RegisterNamed(cvars, branches, "tas_deletebranch", &RunBranches::Delete,
                  "Delete branch NAME of the loaded TAS");
}
