#include "runs/RunFolder.h"
#include "runs/RunFile.h"

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

fs::path RunFilePath(const fs::path& folder, const std::string& name) {
    return folder / PathFromUtf8(name + ".data");
}

void ListRunFiles(const fs::path& folder, std::vector<TasFile>& files) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string fileName = Utf8FromPath(entry.path().filename());
        const auto dot = fileName.rfind('.');
        if (dot == std::string::npos || fileName.compare(dot, std::string::npos, ".data") != 0) {
            continue;
        }
        files.push_back(TasFile{fileName.substr(0, dot), entry.path()});
    }
}

void SaveRun(const fs::path& folder, const std::string& name, const TasData& data) {
    // Windows would write such a file into the device and call it a success.
    if (IsDeviceName(name)) {
        throw std::invalid_argument("\"" + name + "\" names a device on Windows");
    }
    const fs::path path = RunFilePath(folder, name);
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
    }
    SaveRunFile(path, data);
}

TasReadResult LoadRun(const TasFile& file, Tas& tas) {
    std::ifstream stream(file.Path, std::ios::binary);
    return ReadTas(tas, stream, file.Name);
}

void DeleteRun(const TasFile& file, const fs::path& folder, std::vector<TasFile>& files) {
    fs::remove(file.Path); // a file already gone is no failure
    files.clear();
    ListRunFiles(folder, files);
}
