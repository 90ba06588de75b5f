// What the SDL backend's files share among themselves.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

// The SDL window behind a handle; null for an unknown or closed window.
SDL_Window* sdlWindowOf(HWND window);

// False when the window could not get a GL-capable visual.
bool windowHasGl(HWND window);

// Feeds the event to the panel host; true when it was the panel's (a mouse event over its
// area), so that it must not reach the window procedure.
bool panelHostTakesEvent(const SDL_Event& event);
