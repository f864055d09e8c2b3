#pragma once

#include "runs/record/Marker.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// A run's markers sit beside its run file as "NAME.data.markers", JSON:
//   {"version": 1, "markers": [{"frame": 120, "text": "flip"}, ...]}
// frames strictly ascending, each before the run's end; texts one line of
// at most MaxMarkerBytes bytes. The run folder's listing passes them over.
constexpr int MarkersFormatVersion = 1;

std::filesystem::path MarkersPath(const std::filesystem::path& runFile);

void WriteMarkers(std::ostream& stream, const std::vector<Marker>& markers);
// The markers of a run of that many frames; throws std::runtime_error with
// what is wrong ("marker 2's frame 9 does not come after frame 12").
std::vector<Marker> ReadMarkers(std::istream& stream, uint64_t frames);

// Writes the markers beside the run file, replacing the old file whole, or
// removes an old file when there are none. Throws on failure.
void SaveMarkersFile(const std::filesystem::path& runFile, const std::vector<Marker>& markers);

// A file that could not be read (a markers file, a branch's run file), moved
// aside so that the next save does not replace what the player may still
// want from it.
struct FileSetAside {
    std::string why;
    std::filesystem::path aside; // empty when it could not be moved
    std::string asideFailure;    // why not, then
};

// Renames file to FILE.damaged, or .damaged-2, -3, ... when that name is
// taken, keeping why it could not be read. Never throws.
FileSetAside SetFileAside(const std::filesystem::path& file, std::string why);

// "WHAT could not be read (WHY): set aside as FILE.damaged", or when it could
// not be moved, "WHAT could not be read (WHY), nor set aside: REASON".
std::string SetAsideLine(const std::string& what, const FileSetAside& setAside);
// SetAsideLine of "Markers of NAME".
std::string MarkersSetAsideLine(const std::string& name, const FileSetAside& markers);

// Reads the markers beside the run file into markers, or leaves them empty
// when there is no file. A damaged file is renamed to NAME.data.markers.damaged
// (or .damaged-2, -3, ...) and said so; it never throws for it.
std::optional<FileSetAside> LoadMarkersFile(const std::filesystem::path& runFile, uint64_t frames,
                                            std::vector<Marker>& markers);
