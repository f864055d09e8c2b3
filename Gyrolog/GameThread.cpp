#include "Guarded.h"

#include <atomic>
#include <thread>

namespace {

std::atomic<std::thread::id> GameThread;

} // namespace

void NoteGameThread() noexcept {
    GameThread = std::this_thread::get_id();
}

bool RefusedOffGameThread([[maybe_unused]] const char* what) noexcept {
#ifdef GYROLOG_CHECK_THREADS
    if (std::this_thread::get_id() != GameThread.load()) {
        ReportFailure(what, "called off the game thread");
        return true;
    }
#endif
    return false;
}
