#include "Guarded.h"
#include "Gyrolog.h"

#include <algorithm>
#include <cmath>
#include <imgui.h>

// The widgets keep no copy of a value: each frame shows the variable as the
// host holds it, and a change is written back on the game thread.
void Gyrolog::RenderBoolCvar(const char* cvarName, const char* label) {
    CVarWrapper variable = cvarManager->getCvar(cvarName);
    if (!variable) {
        return;
    }
    bool value = variable.getBoolValue();
    if (ImGui::Checkbox(label, &value)) {
        gameWrapper->Execute([variable, value](GameWrapper*) mutable {
            GuardedOnGame("setting", [&] { variable.setValue(value ? 1 : 0); });
        });
    }
}

void Gyrolog::RenderFloatCvar(const char* cvarName, const char* label, const float& min,
                              const float& max) {
    CVarWrapper variable = cvarManager->getCvar(cvarName);
    if (!variable) {
        return;
    }
    float value = variable.getFloatValue();
    // A Ctrl+click types a value, which the slider takes as it comes.
    if (ImGui::SliderFloat(label, &value, min, max, "%.3f") && !std::isnan(value)) {
        value = std::clamp(value, min, max);
        gameWrapper->Execute([variable, value](GameWrapper*) mutable {
            GuardedOnGame("setting", [&] { variable.setValue(value); });
        });
    }
}

// A variable's value as the page reads it; the confirmations ask when the
// variable is missing.
bool Gyrolog::CvarIsOn(const char* cvarName) {
    CVarWrapper variable = cvarManager->getCvar(cvarName);
    return variable ? variable.getBoolValue() : true;
}

void Gyrolog::RenderSettingsTab() {
    RenderBoolCvar("tas_autoreplay", "Start Replay On Reset##Gyrolog");
    RenderBoolCvar("tas_showframe", "Show Frame Counter##Gyrolog");
    if (ImGui::TreeNode("Start Recording Options##Gyrolog")) {
        ImGui::Text("Select which inputs that will stop replaying and begin recording");
        RenderBoolCvar("tas_checkthrottle", "Throttle##Gyrolog");
        RenderBoolCvar("tas_checksteer", "Steer##Gyrolog");
        RenderBoolCvar("tas_checkairroll", "Air Roll##Gyrolog");
        RenderBoolCvar("tas_checkhandbrake", "Powerslide##Gyrolog");
        RenderBoolCvar("tas_checkjump", "Jump##Gyrolog");
        RenderBoolCvar("tas_checkboost", "Boost##Gyrolog");
        ImGui::TreePop();
    }
    if (ImGui::TreeNode("Popup Settings##Gyrolog")) {
        RenderBoolCvar("tas_confirmfiledelete", "Delete File Confirmation##Gyrolog");
        RenderBoolCvar("tas_confirmoverwritefile",
                       "Overwrite Existing TAS File Confirmation##Gyrolog");
        RenderBoolCvar("tas_confirmoverwriteloadedtas",
                       "Overwrite Loaded TAS Confirmation##Gyrolog");
        ImGui::TreePop();
    }
}
