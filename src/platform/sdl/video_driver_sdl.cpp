#include "platform/sdl/video_driver_sdl.h"

#include <SDL.h>

#include <cstdlib>

namespace {

bool isSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value && value[0] != '\0';
}

}  // namespace

void chooseVideoDriver() {
  if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) return;
  // A hint of normal priority never overrides the same variable set in the environment.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}
