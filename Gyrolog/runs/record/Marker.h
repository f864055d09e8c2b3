#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A note the player pins to a frame: shown in the Inputs tab, saved beside
// the run file, moved by frame edits as teleports are.
struct Marker {
    uint64_t Frame = 0;
    std::string Text; // UTF-8, one line
};

inline bool operator==(const Marker& a, const Marker& b) {
    return a.Frame == b.Frame && a.Text == b.Text;
}

constexpr size_t MaxMarkerBytes = 200;

// Empty when the text can be a marker's, else why not ("A marker is one
// line"): the frame edits and the markers file's reader hold texts to it.
std::string MarkerTextProblem(const std::string& text);
