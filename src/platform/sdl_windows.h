// The SDL window behind a handle, for the other SDL-based pieces of the platform layer.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

// Null for an unknown or closed window.
SDL_Window* sdlWindowOf(HWND window);

// False when the window could not get a GL-capable visual.
bool windowHasGl(HWND window);
