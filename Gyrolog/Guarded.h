#pragma once

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"

#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

extern std::shared_ptr<CVarManagerWrapper> GlobalCvarManager;

// Logs "Error in WHAT: REASON" (or "Error in WHAT" without a reason) and
// swallows whatever logging itself may throw.
inline void ReportFailure(const char* what, const char* reason) noexcept {
    try {
        if (GlobalCvarManager) {
            GlobalCvarManager->log(std::string("Error in ") + what +
                                   (reason ? std::string(": ") + reason : std::string()));
        }
    } catch (...) {
    }
}

// Runs one callback of the host so that no failure crosses into the host.
template <typename Call> void Guarded(const char* what, Call&& call) noexcept {
    try {
        call();
    } catch (const std::exception& e) {
        ReportFailure(what, e.what());
    } catch (...) {
        ReportFailure(what, nullptr);
    }
}

// Runs each step Guarded; true when none failed.
inline bool GuardedSteps(const char* what,
                         std::initializer_list<std::function<void()>> steps) noexcept {
    bool whole = true;
    for (const auto& step : steps) {
        bool done = false;
        Guarded(what, [&] {
            step();
            done = true;
        });
        whole = whole && done;
    }
    return whole;
}
