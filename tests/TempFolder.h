#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    // Unique across the test processes that CTest runs side by side.
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("gyrolog-test-" + std::to_string(std::random_device{}()) + "-" +
                 std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The UTF-16 units a run name may have in folder: a save's longest file,
// NAME.data.trace.TOKEN.saving, stays within Windows' 259.
inline size_t RoomForName(const std::filesystem::path& folder) {
    return 259 -
           (std::filesystem::absolute(folder) / ".data.trace.01234567.saving").u16string().size();
}

inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
