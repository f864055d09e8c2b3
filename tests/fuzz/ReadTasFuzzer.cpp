// Feeds arbitrary bytes to the run file reader through a real input stream.
#include "runs/record/TasFormat.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::istringstream stream(std::string(reinterpret_cast<const char*>(bytes), size));
    TasData data;
    ReadTasData(stream, data);
    return 0;
}
