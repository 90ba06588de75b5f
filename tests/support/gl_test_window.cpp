#include "gl_test_window.h"

#include <GL/gl.h>
#include <SDL.h>

#include "render/gl_resources.h"

GlTestWindow::GlTestWindow(int width, int height) : width_(width), height_(height) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_Window* window =
      SDL_CreateWindow("gl test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) return;
  window_ = window;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) return;
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    SDL_GL_DeleteContext(context);
    return;
  }
  context_ = context;
  glResources.deviceContext = 0;  // not a bench window: the platform would not know it
  glResources.renderContext = reinterpret_cast<uintptr_t>(context);
}

GlTestWindow::~GlTestWindow() {
  if (context_ != nullptr) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_ != nullptr) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  glResources.deviceContext = 0;
  glResources.renderContext = 0;
}

std::vector<uint8_t> GlTestWindow::readBackBuffer() const {
  std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 3);
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Pixel pixelAt(const std::vector<uint8_t>& image, int width, int x, int y) {
  const size_t at = (static_cast<size_t>(y) * width + x) * 3;
  return {image[at], image[at + 1], image[at + 2]};
}
