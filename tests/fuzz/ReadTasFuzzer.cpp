// Feeds arbitrary bytes to the run file reader through a real input stream,
// then what follows the run to the trace reader, against that run: a seed of
// a run file and its trace reaches past the trace's digest.
#include "runs/record/RunTrace.h"
#include "runs/record/TasFormat.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string input(reinterpret_cast<const char*>(bytes), size);
    std::istringstream stream(input);
    TasData data;
    const TasReadResult run = ReadTasData(stream, data);
    if (run.outcome == ReadOutcome::Loaded && run.extraBytes > 0) {
        std::istringstream trace(input.substr(size - run.extraBytes));
        ReadTrace(trace, data, data.Trace, data.Keyframes);
    }
    return 0;
}
