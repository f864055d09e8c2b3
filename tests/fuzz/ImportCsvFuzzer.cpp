// Feeds arbitrary text to the CSV import: the bytes before the first NUL are
// the CSV, the rest its side file.
#include "RunText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const size_t split = std::min(input.find('\0'), input.size());
    const std::string side(input.substr(std::min(split + 1, input.size())));
    try {
        runtext::RunFileBytes(
            runtext::ImportCsv(input.substr(0, split), "in.csv", side, "in.json"));
    } catch (const runtext::ImportError&) {
    }
    return 0;
}
