#pragma once

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"

#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

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

// The host's game thread, as onLoad found it. Builds made with
// GYROLOG_CHECK_THREADS check that the callbacks meant for it run there: one
// that runs elsewhere is reported and does nothing, as it could only race.
void NoteGameThread() noexcept;
bool RefusedOffGameThread(const char* what) noexcept;

// Guarded, for a callback the host must call on its game thread.
template <typename Call> void GuardedOnGame(const char* what, Call&& call) noexcept {
    if (!RefusedOffGameThread(what)) {
        Guarded(what, std::forward<Call>(call));
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
