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

// Both lines start 55 pixels left of the screen centre, unmeasured.
void Gyrolog::DrawStatusOverlay(CanvasWrapper canvas) {
    const float x = static_cast<float>(gameWrapper->GetScreenSize().X) * 0.5f - 55.0f;
    const char opaque = static_cast<char>(255); // the host reads the colour bytes unsigned
    canvas.SetColor(opaque, opaque, opaque, opaque);
    canvas.SetPosition(Vector2F{x, 80.0f});
    canvas.DrawString("Gyrolog", 3.0f, 3.0f, false, false);
    canvas.SetPosition(Vector2F{x, 118.0f});
    canvas.DrawString(StatusText(LoadedTas.State), 3.0f, 3.0f, false, false);
}
