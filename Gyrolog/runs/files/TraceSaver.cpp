#include "runs/files/TraceSaver.h"
#include "runs/files/RunFile.h"

#include <exception>
#include <utility>

std::string WriteGrownTrace(const std::filesystem::path& runFile, const std::string& name,
                            uint64_t frames, std::vector<TraceEntry> trace,
                            std::vector<Keyframe> keyframes) {
    try {
        TasData run;
        if (!ReadRunFileWhole(runFile, run) || run.Inputs.size() != frames) {
            return "The trace of " + name + " was not written: its run file changed";
        }
        run.Trace = std::move(trace);
        run.Keyframes = std::move(keyframes);
        SaveTraceFile(runFile, run);
        return "Trace of " + name +
               " written beside its run file: " + std::to_string(run.Trace.size()) + " of " +
               std::to_string(frames) + " frames";
    } catch (const std::exception& e) {
        return "Error writing the trace of " + name + ": " + e.what();
    }
}
