// What the window procedure remembers of the user's keys and mouse.
#pragma once

#include <cstdint>

struct InputState {
  bool shiftHeld;       // set by a Shift key-down, cleared by any key-up
  bool leftButtonHeld;  // left button down / up over the window
  int32_t lastMouseX;   // -1 until the first mouse move in the scene role
  int32_t lastMouseY;
  bool showThirdObject;  // F1 in the scene role; the overview hides object index 2 while false
};

// The start values: no keys, no buttons, no mouse position yet, object 3 hidden.
constexpr InputState kStartInput = {false, false, -1, -1, false};
