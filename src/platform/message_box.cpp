#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool boxesWanted() {
  const char* headless = std::getenv("OCULANT_HEADLESS");
  if (headless && std::strcmp(headless, "1") == 0) return false;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

}  // namespace

void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  if (!boxesWanted()) return;
  Uint32 flags = icon == MESSAGE_BOX_ERROR ? SDL_MESSAGEBOX_ERROR : 0;
  SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
}
