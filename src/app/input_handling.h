// What keys and the mouse do: the input rows of the window procedure.
#pragma once

#include "platform/windows_vocabulary.h"

struct Instance;

// Acts on one input message (keys, mouse buttons, mouse moves, the wheel) for this instance's
// role; other messages are ignored. The scene role turns and drives the rig, moves the
// overview, toggles the third object and asks the cameras to save; the camera roles only
// track the Shift and left-button flags. What goes to the cameras goes through
// instance.cameras.
void handleInputMessage(Instance& instance, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);
