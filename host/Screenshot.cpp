// Renders the current screen off-screen with Mesa and writes it as a PNG:
// no display is needed.
#include "Host.h"
#include "Ui.h"

#include <GL/osmesa.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_internal.h>
#include <stb/stb_image_write.h>

#include <vector>

namespace sim {

std::string Ui::Screenshot(const std::filesystem::path& file) {
    if (framesDrawn_ == 0) {
        DrawFrame(); // a new tab bar shows from its second frame on
    }
    const GameFrame game = RenderThread::IsCurrent() ? host_.LastGameFrame() : host_.RunGameFrame();
    const int width = std::max(game.screen.X, 320);
    const int height = std::max(game.screen.Y, 240);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    std::string error;
    // GL contexts belong to a thread: the picture is drawn where the frame is.
    render_.Run([&] {
        OSMesaContext mesa = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (!mesa) {
            error = "cannot create an off-screen GL context";
            return;
        }
        if (!OSMesaMakeCurrent(mesa, pixels.data(), GL_UNSIGNED_BYTE, width, height)) {
            OSMesaDestroyContext(mesa);
            error = "cannot make the off-screen GL context current";
            return;
        }
        ImGui::SetCurrentContext(context_);
        ImGui_ImplOpenGL2_Init();
        ImGui_ImplOpenGL2_NewFrame(); // uploads the font atlas and names its texture
        Draw(game);
        glViewport(0, 0, width, height);
        glClearColor(0.10f, 0.13f, 0.17f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        glFinish();
        ImGui_ImplOpenGL2_Shutdown();
        OSMesaDestroyContext(mesa);
    });
    if (!error.empty()) {
        return error;
    }

    // GL's rows run bottom to top.
    const int stride = width * 4;
    std::vector<unsigned char> flipped(pixels.size());
    for (int y = 0; y < height; ++y) {
        std::copy_n(&pixels[static_cast<size_t>(height - 1 - y) * stride], stride,
                    &flipped[static_cast<size_t>(y) * stride]);
    }
    if (!stbi_write_png(file.string().c_str(), width, height, 4, flipped.data(), stride)) {
        return "cannot write " + file.string();
    }
    return {};
}

} // namespace sim
