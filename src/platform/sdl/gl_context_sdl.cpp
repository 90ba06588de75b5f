#include <SDL.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

// The device context of a window is the window itself: SDL keeps the drawable.
HDC getDC(HWND window) {
  return sdlWindowOf(window) ? static_cast<HDC>(window) : 0;
}

void releaseDC(HWND, HDC) {}

bool setPixelFormat(HDC deviceContext, const PixelFormatRequest& request) {
  const int depthBits = windowDepthBits(static_cast<HWND>(deviceContext));
  if (depthBits == 0) return false;
  // The window was made with a visual of at least 16 colour bits and its depth bits, double
  // buffered; a request for more than that cannot be promised.
  return request.colorBits <= 16 && request.depthBits <= depthBits;
}

HGLRC createGlContext(HDC deviceContext) {
  HWND window = static_cast<HWND>(deviceContext);
  if (windowDepthBits(window) == 0) return 0;
  SDL_GLContext context = SDL_GL_CreateContext(sdlWindowOf(window));
  return reinterpret_cast<HGLRC>(context);
}

bool makeCurrent(HDC deviceContext, HGLRC renderContext) {
  SDL_Window* sdlWindow = sdlWindowOf(static_cast<HWND>(deviceContext));
  if (renderContext == 0) return SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr) == 0;
  if (!sdlWindow) return false;
  return SDL_GL_MakeCurrent(sdlWindow, reinterpret_cast<SDL_GLContext>(renderContext)) == 0;
}

void deleteGlContext(HGLRC renderContext) {
  if (renderContext != 0) SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(renderContext));
}

void swapBuffers(HDC deviceContext) {
  SDL_Window* sdlWindow = sdlWindowOf(static_cast<HWND>(deviceContext));
  if (sdlWindow) SDL_GL_SwapWindow(sdlWindow);
}
