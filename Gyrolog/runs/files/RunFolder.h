#pragma once

#include "runs/files/MarkersFile.h"
#include "runs/files/TasFile.h"
#include "runs/record/RunTrace.h"
#include "runs/record/Tas.h"
#include "runs/record/TasFormat.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The run folder: one ".data" file per run, named after the run. These know
// nothing of the host; they throw on failure and leave reporting to callers.

// folder / (name + ".data").
std::filesystem::path RunFilePath(const std::filesystem::path& folder, const std::string& name);

// Whether a save of the run name in folder would write a path longer than
// Windows opens (MaxSavePathUnits), counted on every platform so that a run
// folder behaves the same everywhere; a relative folder counts from the
// current folder.
bool SavePathTooLong(const std::filesystem::path& folder, const std::string& name);

// TasNameProblem, then LongPathMessage when the name is too long for folder.
const char* RunNameProblem(const std::filesystem::path& folder, const std::string& name);

// Appends the folder's run files in enumeration order: regular files whose
// last extension is exactly ".data"; entries whose type or name cannot be
// read are passed over. On a failure of the enumeration itself the files
// found before it stay appended. Then resolves the saves found interrupted
// (ResolveInterruptedSave), which changes no run file's name.
void ListRunFiles(const std::filesystem::path& folder, std::vector<TasFile>& files);

// Whether the list holds a run file of that name.
bool IsListed(const std::vector<TasFile>& files, const std::string& name);

// Writes the run file of name, creating the folder and its parents when
// missing. An existing file is replaced only once every byte is written.
// Device names and names too long for the folder are refused.
void SaveRun(const std::filesystem::path& folder, const std::string& name, const TasData& data);

struct RunLoadResult {
    TasReadResult file;
    // Set when the run was read and a trace file lies beside it.
    std::optional<TraceReadResult> trace;
    // Set when a markers file beside it could not be read: the run loads
    // without markers, and the file was moved aside.
    std::optional<FileSetAside> markers;
    // The run read, with its trace when the trace belongs to it. Whole only
    // when file says Loaded or CutShort.
    TasData data;
};

// Reads the run file, then its markers file (LoadMarkersFile, which sets a
// damaged one aside) and the trace file beside it when it belongs to the
// run, into a fresh run: whatever happens, no run in use is touched. Throws
// only when memory runs out.
RunLoadResult LoadRun(const TasFile& file);

// A trace (or markers) file that stayed when its run file was removed, and why.
struct TraceLeft {
    std::filesystem::path path;
    std::string why;
};

struct RunDeleteResult {
    std::optional<TraceLeft> traceLeft;
    std::optional<TraceLeft> markersLeft; // its markers file, likewise
};

// Removes the run file, then its trace and markers files (files already gone are no
// failure; a folder of the trace's name stays), then lists the folder again
// into files. Throws when the run file cannot be removed, before anything
// is, or when the listing fails.
RunDeleteResult DeleteRun(const TasFile& file, const std::filesystem::path& folder,
                          std::vector<TasFile>& files);
