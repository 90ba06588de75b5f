#include "scene/input_state.h"

InputState inputState = {false, false, -1, -1, false};

void resetInputState() {
  inputState = InputState{false, false, -1, -1, false};
}
