// Hosts a child panel drawn with Dear ImGui inside a window. Like a child window, the panel
// takes the mouse events over its own area, so the window procedure never sees them.
#pragma once

#include "platform/win32.h"

// Connects ImGui's input to the window; the caller has made the ImGui context and the panel
// occupies the client rectangle (x, y, width, height). False when the window is unknown.
bool attachPanelHost(HWND window, int x, int y, int width, int height);

// Starts an ImGui frame's input side: mouse position, buttons, time, display size.
void panelHostNewFrame();
