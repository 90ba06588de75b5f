// The info panel: a small read-only, scrollable text box at the top-left of the scene window
// that shows the info log.
#pragma once

#include "platform/win32.h"

// Creates the panel on the scene window, sized from its dialog layout (166 x 65 dialog units of
// an 8-point sans-serif font). Needs the window's GL context to be current. Without it, or if
// the panel cannot be made, the log is still kept; nothing is shown.
void openInfoPanel(HWND parent);

// Draws the panel over the frame being drawn, just before the buffers are swapped. Does
// nothing when no panel is open.
void drawInfoPanel();
