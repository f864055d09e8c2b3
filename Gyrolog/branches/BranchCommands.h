#pragma once

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "branches/RunBranches.h"

// tas_branch, tas_branches, tas_loadbranch, tas_comparebranch and
// tas_deletebranch, run on the game thread.
void RegisterBranchCommands(CVarManagerWrapper& cvars, RunBranches& branches);
