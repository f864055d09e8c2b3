#include "runs/record/Keyframe.h"

#include <algorithm>

bool IsKeyframeFrame(uint64_t frame, const std::vector<uint64_t>& teleports) {
    return frame % KeyframeInterval == 0 ||
           std::binary_search(teleports.begin(), teleports.end(), frame);
}

const Keyframe* KeyframeAtOrBefore(const std::vector<Keyframe>& keyframes, uint64_t frame) {
    const auto after = std::upper_bound(
        keyframes.begin(), keyframes.end(), frame,
        [](uint64_t wanted, const Keyframe& keyframe) { return wanted < keyframe.Frame; });
    return after == keyframes.begin() ? nullptr : &*(after - 1);
}

void CutKeyframes(std::vector<Keyframe>& keyframes, uint64_t frames) {
    const auto first = std::lower_bound(
        keyframes.begin(), keyframes.end(), frames,
        [](const Keyframe& keyframe, uint64_t wanted) { return keyframe.Frame < wanted; });
    keyframes.erase(first, keyframes.end());
}
