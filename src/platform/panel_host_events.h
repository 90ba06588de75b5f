// The message pump's side of the panel host.
#pragma once

#include <SDL.h>

// Feeds the event to the panel; true when it was the panel's (a mouse event over its area),
// so that it must not reach the window procedure.
bool panelHostTakesEvent(const SDL_Event& event);
