#pragma once

#include "bakkesmod/SdkApi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Handle to one console variable. A false handle stands for a variable that
// does not exist.
class BAKKESMOD_SDK_API CVarWrapper {
public:
    CVarWrapper(uintptr_t variable, uintptr_t owner) : memory_address(variable), owner_(owner) {}

    explicit operator bool() const { return memory_address != 0; }
    bool IsNull() const { return memory_address == 0; }

    std::string getCVarName() const;
    std::string getDescription() const;
    std::string getStringValue() const;
    int getIntValue() const;
    float getFloatValue() const;
    bool getBoolValue() const;

    void setValue(std::string value);
    void setValue(int value);
    void setValue(float value);

    // The host keeps *target equal to the variable's bool value from now on.
    void bindTo(std::shared_ptr<bool> target);
    // Called after every change with the old value's text.
    void addOnValueChanged(std::function<void(std::string, CVarWrapper)> callback);

    uintptr_t memory_address = 0;

private:
    uintptr_t owner_ = 0;
};
