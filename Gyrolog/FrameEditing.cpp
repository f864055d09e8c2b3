#include "Gyrolog.h"
#include "runs/RecoveryJournal.h"

#include "runs/FrameEdits.h"
#include <cctype>

#include <charconv>
#include <system_error>
#include <utility>

namespace {

void LogLine(const std::string& text) {
    if (GlobalCvarManager) {
        GlobalCvarManager->log(text);
    }
}

// The whole text as a number, nothing before or after it.
template <typename Number> std::errc ReadNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ptr != end) {
        return std::errc::invalid_argument;
    }
    return result.ec;
}

bool ReadFrame(const char* command, const char* what, const std::string& text, uint64_t& frame) {
    if (ReadNumber(text, frame) == std::errc()) {
        return true;
    }
    LogLine(std::string(command) + ": " + what + " must be a frame number, not \"" + text + "\"");
    return false;
}

// Says why the edit cannot be made, when it cannot.
bool EditRefused(const char* command, const FrameEdit& edit) {
    if (edit.Change) {
        return false;
    }
    LogLine(std::string(command) + ": " + edit.Error);
    return true;
}

} // namespace

bool Gyrolog::FrameEditRefused() {
    const char* why = nullptr;
    if (LoadedTas.State != TasState::Stopped) {
        why = "Stop the TAS before editing";
    } else if (LoadedTas.Data.Hitbox == HitboxType::Other) {
        why = "Load or create a TAS before editing";
    } else if (!LoadedTas.InputsApplied) {
        // The new inputs join the run at the frame they were recorded from,
        // which an edit before it would move.
        why = "Apply the new inputs with Update before editing";
    }
    if (why == nullptr) {
        return false;
    }
    LogLine(why);
    ShowToast(why, 3);
    return true;
}

void Gyrolog::EditFrames(RunSplice change, const std::string& what) {
    if (FrameEditRefused()) {
        return;
    }
    MarkUnsaved(); // a journal begun here starts from the run before the edit
    std::string journaled = SplicePayload(change);
    {
        // The page reads the frames under this lock. A change that does not
        // fit the run throws and changes nothing.
        std::lock_guard lock(LoadedTasLock);
        ApplySplice(LoadedTas.Data, change);
    }
    Journal.Write(JournalRecord::Splice, std::move(journaled));
    // Applied, the change holds what it replaced: it is the edit's undo.
    std::string step = what;
    step[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(step[0])));
    PushStep(HistoryStep(std::move(step), std::move(change)));
    LogLine(what);
}

void Gyrolog::SetInputCommand(const std::vector<std::string>& args) {
    constexpr const char* command = "tas_setinput";
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 5) {
        LogLine("Usage: tas_setinput FROM TO CONTROL VALUE, CONTROL one of " + ControlNames());
        return;
    }
    uint64_t from = 0;
    uint64_t to = 0;
    if (!ReadFrame(command, "FROM", args[1], from) || !ReadFrame(command, "TO", args[2], to)) {
        return;
    }
    const std::optional<FrameControl> control = ControlByName(args[3]);
    if (!control) {
        LogLine(std::string(command) + ": there is no control \"" + args[3] +
                "\", CONTROL is one of " + ControlNames());
        return;
    }
    float value = 0.0f;
    if (const std::errc read = ReadNumber(args[4], value); read != std::errc()) {
        LogLine(std::string(command) + ": VALUE \"" + args[4] + "\" " +
                (read == std::errc::result_out_of_range ? "does not fit a 32-bit float"
                                                        : "is not a number"));
        return;
    }
    FrameEdit edit = SetControl(LoadedTas.Data, from, to, *control, value);
    if (!EditRefused(command, edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void Gyrolog::InsertFramesCommand(const std::vector<std::string>& args) {
    constexpr const char* command = "tas_insertframes";
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 3 && args.size() != 4) {
        LogLine("Usage: tas_insertframes AT COUNT [neutral|copy], neutral when left out");
        return;
    }
    uint64_t at = 0;
    uint64_t count = 0;
    if (!ReadFrame(command, "AT", args[1], at)) {
        return;
    }
    if (ReadNumber(args[2], count) != std::errc()) {
        LogLine(std::string(command) + ": COUNT must be a number of frames, not \"" + args[2] +
                "\"");
        return;
    }
    InsertFill fill = InsertFill::Neutral;
    if (args.size() == 4) {
        if (args[3] == "copy") {
            fill = InsertFill::Copy;
        } else if (args[3] != "neutral") {
            LogLine(std::string(command) + ": the frames are neutral or copy, not \"" + args[3] +
                    "\"");
            return;
        }
    }
    FrameEdit edit = InsertFrames(LoadedTas.Data, at, count, fill);
    if (!EditRefused(command, edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}

void Gyrolog::DeleteFramesCommand(const std::vector<std::string>& args) {
    constexpr const char* command = "tas_deleteframes";
    if (FrameEditRefused()) {
        return;
    }
    if (args.size() != 3) {
        LogLine("Usage: tas_deleteframes FROM TO");
        return;
    }
    uint64_t from = 0;
    uint64_t to = 0;
    if (!ReadFrame(command, "FROM", args[1], from) || !ReadFrame(command, "TO", args[2], to)) {
        return;
    }
    FrameEdit edit = DeleteFrames(LoadedTas.Data, from, to);
    if (!EditRefused(command, edit)) {
        EditFrames(std::move(*edit.Change), edit.What);
    }
}
