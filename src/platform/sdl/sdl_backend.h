// What the SDL backend's files share among themselves.
#pragma once

#include <SDL.h>

#include "platform/windows_vocabulary.h"

// The SDL window behind a handle; null for an unknown or closed window.
SDL_Window* sdlWindowOf(HWND window);

// The depth bits of the window's GL visual; 0 when it could not get a GL-capable visual.
int windowDepthBits(HWND window);

// Feeds the event to the panel host; true when it was the panel's (a mouse event over its
// area), so that it must not reach the window procedure.
bool panelHostTakesEvent(const SDL_Event& event);

// Connects Dear ImGui's input to the window, like a child window over the client rectangle
// (x, y, width, height): the pump gives the mouse events over that area to the panel, never to
// the window procedure. The caller has made the ImGui context. False when it cannot attach.
bool attachPanelHost(HWND window, int x, int y, int width, int height);

// Starts an ImGui frame's input side: mouse position, buttons, time, display size.
void panelHostNewFrame();
