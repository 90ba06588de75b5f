#include "gl_test_window.h"

GlTestWindow::GlTestWindow(int width, int height) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  window_ =
      SDL_CreateWindow("image test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) return;
  context_ = SDL_GL_CreateContext(window_);
  if (context_ != nullptr && SDL_GL_MakeCurrent(window_, context_) != 0) {
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
  }
}

GlTestWindow::~GlTestWindow() {
  if (context_ != nullptr) SDL_GL_DeleteContext(context_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
