// The info panel is a pop-up laid over its owner's client area: the owner's window procedure
// keeps it there whenever the owner moves, is resized or is minimised.
#pragma once

#include <windows.h>

void placeInfoPanel(HWND owner);
