#include "runs/RunFile.h"
#include "runs/TasFormat.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

void WriteFileAtomically(const fs::path& target, const std::function<void(std::ostream&)>& write) {
    fs::path temporary = target;
    temporary += ".saving";
    try {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream.is_open()) {
            throw std::runtime_error("cannot create " + Utf8FromPath(temporary));
        }
        write(stream);
        stream.flush();
        if (!stream.good()) {
            throw std::runtime_error("cannot write every byte to " + Utf8FromPath(temporary));
        }
        stream.close();
        if (stream.fail()) {
            throw std::runtime_error("cannot close " + Utf8FromPath(temporary));
        }
        fs::rename(temporary, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
}

fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void SaveRunFile(const fs::path& target, const TasData& data) {
    WriteFileAtomically(target, [&](std::ostream& stream) { WriteTas(stream, data); });
}
