#pragma once

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
