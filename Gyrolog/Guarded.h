#pragma once

#include "bakkesmod/wrappers/CVarManagerWrapper.h"

#include <exception>
#include <memory>
#include <string>

extern std::shared_ptr<CVarManagerWrapper> GlobalCvarManager;

// Runs one callback of the host so that no failure crosses into the host: a
// failure is reported on the console as "Error in WHAT: REASON".
template <typename Call> void Guarded(const char* what, Call&& call) noexcept {
    try {
        call();
    } catch (const std::exception& e) {
        try {
            if (GlobalCvarManager) {
                GlobalCvarManager->log(std::string("Error in ") + what + ": " + e.what());
            }
        } catch (...) {
        }
    } catch (...) {
        try {
            if (GlobalCvarManager) {
                GlobalCvarManager->log(std::string("Error in ") + what);
            }
        } catch (...) {
        }
    }
}
