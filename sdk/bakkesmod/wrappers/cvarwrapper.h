#pragma once

#include "bakkesmod/plugin/bakkesmodsdk.h"

#include <functional>
#include <memory>
#include <string>

// Handle to one console variable. A false handle stands for a variable that
// does not exist.
class BAKKESMOD_PLUGIN_IMPORT CVarWrapper {
public:
    CVarWrapper(uintptr_t variable, uintptr_t owner) : memory_address(variable), owner_(owner) {}

    explicit operator bool() const { return memory_address != 0; }
    bool IsNull() { return memory_address == 0; }

    std::string getCVarName();
    std::string getDescription();
    std::string getStringValue();
    int getIntValue();
    float getFloatValue();
    bool getBoolValue();

    void setValue(std::string value);
    void setValue(int value);
    void setValue(float value);

    // The host keeps *var equal to the variable's bool value from now on.
    void bindTo(std::shared_ptr<bool> var);
    // Called after every change with the old value's text.
    void addOnValueChanged(std::function<void(std::string, CVarWrapper)> changeFunc);

    uintptr_t memory_address = 0;

private:
    uintptr_t owner_ = 0;
};
