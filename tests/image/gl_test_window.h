// A hidden SDL window with a current GL context, for tests that read and write GL state.
#pragma once

#include <SDL.h>

class GlTestWindow {
 public:
  GlTestWindow(int width, int height);
  ~GlTestWindow();
  GlTestWindow(const GlTestWindow&) = delete;
  GlTestWindow& operator=(const GlTestWindow&) = delete;

  bool ready() const { return context_ != nullptr; }

 private:
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};
