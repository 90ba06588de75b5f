#include "app/input_handling.h"

#include "messaging/instance.h"
#include "panel/info_log.h"
#include "render/overview_navigation.h"
#include "scene/input_state.h"
#include "scene/scene_state.h"

namespace {

void onKeyDown(Instance& instance, HWND window, WPARAM key) {
  if (key == VK_SHIFT) inputState.shiftHeld = true;
  if (role != ROLE_SCENE) return;
  if (key == VK_F1) inputState.showThirdObject = !inputState.showThirdObject;
  if (key == VK_F2) instance.cameras->send(instance, MSG_SAVE_FRAME, 0, nullptr, window);
}

// Shift with the mouse turns the rig: two pixels to the left add one degree.
void turnRig(Instance& instance, HWND window, int x) {
  rigPose.heading += static_cast<double>(inputState.lastMouseX - x) / 2.0;
  if (rigPose.heading > 360.0) rigPose.heading -= 360.0;
  if (rigPose.heading < 0.0) rigPose.heading += 360.0;
  instance.cameras->send(instance, MSG_HEADING, kHeadingPayloadSize, &rigPose.heading, window);
  logRigPose();
}

void onMouseMove(Instance& instance, HWND window, WPARAM keys, LPARAM position) {
  if (role != ROLE_SCENE) return;
  int x = GET_X_LPARAM(position);
  int y = GET_Y_LPARAM(position);
  bool positionKnown = inputState.lastMouseX != -1 || inputState.lastMouseY != -1;
  int dx = inputState.lastMouseX - x;
  int dy = inputState.lastMouseY - y;
  if (inputState.shiftHeld) {
    if (positionKnown) turnRig(instance, window, x);
  } else if (positionKnown) {
    // Only a drag with exactly one button and no modifier moves the overview.
    if (keys == MK_LBUTTON) panOverview(dx, dy);
    if (keys == MK_RBUTTON) rotateOverview(dx, dy);
  }
  inputState.lastMouseX = x;
  inputState.lastMouseY = y;
}

}  // namespace

void handleInputMessage(Instance& instance, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      onKeyDown(instance, window, wParam);
      break;
    case WM_KEYUP:
      inputState.shiftHeld = false;  // whichever key went up
      break;
    case WM_MOUSEMOVE:
      onMouseMove(instance, window, wParam, lParam);
      break;
    case WM_LBUTTONDOWN:
      inputState.leftButtonHeld = true;
      break;
    case WM_LBUTTONUP:
      inputState.leftButtonHeld = false;
      break;
    case WM_MOUSEWHEEL:
      if (role == ROLE_SCENE) zoomOverview(GET_WHEEL_DELTA_WPARAM(wParam));
      break;
    default:
      break;
  }
}
