#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

namespace {

SDL_Window* hostWindow = nullptr;
SDL_Rect panelArea;

bool insidePanel(int x, int y) {
  return x >= panelArea.x && y >= panelArea.y && x < panelArea.x + panelArea.w &&
         y < panelArea.y + panelArea.h;
}

bool isOverPanel(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      return insidePanel(event.motion.x, event.motion.y);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return insidePanel(event.button.x, event.button.y);
    case SDL_MOUSEWHEEL: {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      return insidePanel(x, y);
    }
    default:
      return false;
  }
}

}  // namespace

bool attachPanelHost(HWND window, int x, int y, int width, int height) {
  SDL_Window* sdlWindow = sdlWindowOf(window);
  if (sdlWindow == nullptr || ImGui::GetCurrentContext() == nullptr) return false;
  if (!ImGui_ImplSDL2_InitForOpenGL(sdlWindow, SDL_GL_GetCurrentContext())) return false;
  hostWindow = sdlWindow;
  panelArea = SDL_Rect{x, y, width, height};
  return true;
}

void panelHostNewFrame() {
  if (hostWindow) ImGui_ImplSDL2_NewFrame();
}

bool panelHostTakesEvent(const SDL_Event& event) {
  if (hostWindow == nullptr) return false;
  bool overPanel = isOverPanel(event);
  // Button releases always reach ImGui too, so a drag that leaves the panel ends there.
  if (overPanel || event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEMOTION)
    ImGui_ImplSDL2_ProcessEvent(&event);
  return overPanel;
}
