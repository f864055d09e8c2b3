#pragma once

#include "bakkesmod/SdkApi.h"
#include "bakkesmod/wrappers/WrapperStructs.h"

#include <cstdint>
#include <string>

class BAKKESMOD_SDK_API CanvasWrapper {
public:
    explicit CanvasWrapper(uintptr_t canvas) : memory_address(canvas) {}

    Vector2 GetScreenSize() const;
    void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha);
    void SetPosition(Vector2F position);
    void DrawString(std::string text, float xScale, float yScale, bool dropShadow, bool wrapText);

    uintptr_t memory_address = 0;
};
