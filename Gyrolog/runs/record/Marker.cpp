#include "runs/record/Marker.h"

std::string MarkerTextProblem(const std::string& text) {
    if (text.empty()) {
        return "A marker needs a text";
    }
    if (text.find_first_of("\r\n") != std::string::npos) {
        return "A marker is one line";
    }
    if (text.size() > MaxMarkerBytes) {
        return "A marker is at most " + std::to_string(MaxMarkerBytes) + " bytes";
    }
    return {};
}
