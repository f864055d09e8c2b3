#include "Gyrolog.h"
#include "bakkesmod/wrappers/canvaswrapper.h"

namespace {

const char* StatusText(TasState state) {
    switch (state) {
    case TasState::Replaying:
        return "Replaying";
    case TasState::Recording:
        return "Recording";
    default:
        return "Stopped";
    }
}

} // namespace

// The lines start 55 pixels left of the screen centre, unmeasured.
void Gyrolog::DrawStatusOverlay(CanvasWrapper canvas) {
    const float x = static_cast<float>(gameWrapper->GetScreenSize().X) * 0.5f - 55.0f;
    const char opaque = static_cast<char>(255); // the host reads the colour bytes unsigned
    canvas.SetColor(opaque, opaque, opaque, opaque);
    canvas.SetPosition(Vector2F{x, 80.0f});
    canvas.DrawString("Gyrolog", 3.0f, 3.0f, false, false);
    canvas.SetPosition(Vector2F{x, 118.0f});
    const TasState state = LoadedTas.State;
    canvas.DrawString(StatusText(state), 3.0f, 3.0f, false, false);
    if (!ShowFrame || !*ShowFrame || state == TasState::Stopped) {
        return;
    }
    // A recording's run is as long as the frames it keeps and has recorded.
    const uint64_t frames = state == TasState::Recording
                                ? LoadedTas.CurrentFrame + LoadedTas.PendingInputs.size()
                                : LoadedTas.Data.Inputs.size();
    canvas.SetPosition(Vector2F{x, 156.0f});
    canvas.DrawString("Frame " + std::to_string(LoadedTas.LiveFrame.load()) + " / " +
                          std::to_string(frames),
                      3.0f, 3.0f, false, false);
}
