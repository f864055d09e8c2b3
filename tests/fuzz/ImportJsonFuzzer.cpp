// Feeds arbitrary text to the JSON import.
#include "RunText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    try {
        runtext::RunFileBytes(runtext::ImportJson(text, "in.json"));
    } catch (const runtext::ImportError&) {
    }
    return 0;
}
