#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"
#include "bakkesmod/wrappers/wrapperstructs.h"

#include <string>

class BAKKESMOD_PLUGIN_IMPORT CanvasWrapper {
public:
    explicit CanvasWrapper(uintptr_t canvas) : memory_address(canvas) {}

    Vector2 GetSize();
    // Colour bytes, 0 to 255 each, passed as char.
    void SetColor(char Red, char Green, char Blue, char Alpha);
    void SetPosition(Vector2F pos);
    void DrawString(std::string text, float xScale, float yScale, bool dropShadow, bool wrapText);

    uintptr_t memory_address = 0;
};
