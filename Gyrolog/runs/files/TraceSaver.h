#pragma once

#include "runs/record/Keyframe.h"
#include "runs/record/RunTrace.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Writes the trace a replay grew beside the run file it belongs to, which
// holds a run of frames frames (name is for the report), and says what it
// did. The run file is read back for the trace's digest, so that the game
// thread, which hands the write to a FileWorker, hashes nothing. Never throws.
std::string WriteGrownTrace(const std::filesystem::path& runFile, const std::string& name,
                            uint64_t frames, std::vector<TraceEntry> trace,
                            std::vector<Keyframe> keyframes);
