// Debian's OpenGL 2 backend, compiled against the Dear ImGui built here when
// that is not Debian's own: the backend was written for 1.86, and before 1.83
// a draw command's texture was its field TextureId, not GetTexID().
#include <imgui.h>

#if IMGUI_VERSION_NUM < 18300
#define GetTexID() TextureId
#endif

#include GYROLOG_IMGUI_OPENGL2_SOURCE
