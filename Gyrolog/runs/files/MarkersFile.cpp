#include "runs/files/MarkersFile.h"
#include "runs/files/RunFile.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

[[noreturn]] void Damaged(const std::string& why) {
    throw std::runtime_error(why);
}

std::string Lowered(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

Marker ReadMarker(const Json& entry, size_t index, uint64_t frames) {
    const std::string name = "marker " + std::to_string(index + 1);
    if (!entry.is_object() || !entry.contains("frame") || !entry.contains("text") ||
        !entry["frame"].is_number_unsigned() || !entry["text"].is_string()) {
        Damaged(name + " is not a frame number with a text");
    }
    Marker marker{entry["frame"].get<uint64_t>(), entry["text"].get<std::string>()};
    if (marker.Frame >= frames) {
        Damaged(name + "'s frame " + std::to_string(marker.Frame) + " is past the run's end, " +
                std::to_string(frames));
    }
    if (const std::string problem = MarkerTextProblem(marker.Text); !problem.empty()) {
        Damaged(name + ": " + Lowered(problem));
    }
    return marker;
}

fs::path DamagedPath(const fs::path& file, int tries) {
    fs::path aside = file;
    aside += tries == 1 ? ".damaged" : ".damaged-" + std::to_string(tries);
    return aside;
}

} // namespace

FileSetAside SetFileAside(const fs::path& file, std::string why) {
    FileSetAside result{std::move(why), {}, {}};
    std::error_code error;
    for (int tries = 1;; ++tries) {
        const fs::path aside = DamagedPath(file, tries);
        if (fs::exists(fs::symlink_status(aside, error))) {
            continue;
        }
        fs::rename(file, aside, error);
        if (error) {
            result.asideFailure = error.message();
        } else {
            result.aside = aside;
        }
        return result;
    }
}

std::string SetAsideLine(const std::string& what, const FileSetAside& setAside) {
    const std::string line = what + " could not be read (" + setAside.why + ")";
    if (setAside.aside.empty()) {
        return line + ", nor set aside: " + setAside.asideFailure;
    }
    return line + ": set aside as " + Utf8FromPath(setAside.aside.filename());
}

std::string MarkersSetAsideLine(const std::string& name, const FileSetAside& markers) {
    return SetAsideLine("Markers of " + name, markers);
}

fs::path MarkersPath(const fs::path& runFile) {
    fs::path path = runFile;
    path += ".markers";
    return path;
}

void WriteMarkers(std::ostream& stream, const std::vector<Marker>& markers) {
    Json list = Json::array();
    for (const Marker& marker : markers) {
        list.push_back({{"frame", marker.Frame}, {"text", marker.Text}});
    }
    const Json file = {{"version", MarkersFormatVersion}, {"markers", std::move(list)}};
    // A text that is no UTF-8 is written with replacement characters, not refused.
    stream << file.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

std::vector<Marker> ReadMarkers(std::istream& stream, uint64_t frames) {
    const Json file = Json::parse(stream, nullptr, false);
    if (file.is_discarded()) {
        Damaged("it is not JSON");
    }
    if (!file.is_object() || !file.contains("version") || !file.contains("markers") ||
        !file["markers"].is_array()) {
        Damaged("it is no object with a version and a list of markers");
    }
    if (file["version"] != MarkersFormatVersion) {
        Damaged("its version " + file["version"].dump() + " is not " +
                std::to_string(MarkersFormatVersion));
    }
    std::vector<Marker> markers;
    for (const Json& entry : file["markers"]) {
        Marker marker = ReadMarker(entry, markers.size(), frames);
        if (!markers.empty() && marker.Frame <= markers.back().Frame) {
            Damaged("marker " + std::to_string(markers.size() + 1) + "'s frame " +
                    std::to_string(marker.Frame) + " does not come after frame " +
                    std::to_string(markers.back().Frame));
        }
        markers.push_back(std::move(marker));
    }
    return markers;
}

void SaveMarkersFile(const fs::path& runFile, const std::vector<Marker>& markers) {
    const fs::path path = MarkersPath(runFile);
    if (!markers.empty()) {
        WriteFileAtomically(path, [&](std::ostream& stream) { WriteMarkers(stream, markers); });
        return;
    }
    if (auto why = RemoveFileBeside(path)) {
        throw std::runtime_error("the old markers " + Utf8FromPath(path) +
                                 " could not be removed: " + *why);
    }
}

std::optional<FileSetAside> LoadMarkersFile(const fs::path& runFile, uint64_t frames,
                                            std::vector<Marker>& markers) {
    markers.clear();
    const fs::path path = MarkersPath(runFile);
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt; // a run without markers
    }
    try {
        std::ifstream stream(path, std::ios::binary);
        if (!stream) {
            Damaged("it cannot be opened");
        }
        markers = ReadMarkers(stream, frames);
        return std::nullopt;
    } catch (const std::runtime_error& e) {
        return SetFileAside(path, e.what());
    }
}
