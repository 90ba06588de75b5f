#include "app/input_handling.h"

#include "messaging/instance.h"
#include "panel/info_log.h"
#include "render/overview_navigation.h"

namespace {

void onKeyDown(Instance& instance, HWND window, WPARAM key) {
  if (key == VK_SHIFT) instance.inputState.shiftHeld = true;
  if (instance.role != ROLE_SCENE) return;
  if (key == VK_F1) instance.inputState.showThirdObject = !instance.inputState.showThirdObject;
  if (key == VK_F2) instance.cameras->send(instance, MSG_SAVE_FRAME, 0, nullptr, window);
}

// Shift with the mouse turns the rig: two pixels to the left add one degree.
void turnRig(Instance& instance, HWND window, int x) {
  instance.rigPose.heading += static_cast<double>(instance.inputState.lastMouseX - x) / 2.0;
  if (instance.rigPose.heading > 360.0) instance.rigPose.heading -= 360.0;
  if (instance.rigPose.heading < 0.0) instance.rigPose.heading += 360.0;
  instance.cameras->send(instance, MSG_HEADING, kHeadingPayloadSize, &instance.rigPose.heading,
                         window);
  logRigPose(instance.rigPose);
}

void onMouseMove(Instance& instance, HWND window, WPARAM keys, LPARAM position) {
  if (instance.role != ROLE_SCENE) return;
  int x = GET_X_LPARAM(position);
  int y = GET_Y_LPARAM(position);
  bool positionKnown = instance.inputState.lastMouseX != -1 || instance.inputState.lastMouseY != -1;
  int dx = instance.inputState.lastMouseX - x;
  int dy = instance.inputState.lastMouseY - y;
  if (instance.inputState.shiftHeld) {
    if (positionKnown) turnRig(instance, window, x);
  } else if (positionKnown) {
    // Only a drag with exactly one button and no modifier moves the overview.
    if (keys == MK_LBUTTON) panOverview(&instance.overviewView, dx, dy);
    if (keys == MK_RBUTTON) rotateOverview(&instance.overviewView, dx, dy);
  }
  instance.inputState.lastMouseX = x;
  instance.inputState.lastMouseY = y;
}

}  // namespace

void handleInputMessage(Instance& instance, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      onKeyDown(instance, window, wParam);
      break;
    case WM_KEYUP:
      instance.inputState.shiftHeld = false;  // whichever key went up
      break;
    case WM_MOUSEMOVE:
      onMouseMove(instance, window, wParam, lParam);
      break;
    case WM_LBUTTONDOWN:
      instance.inputState.leftButtonHeld = true;
      break;
    case WM_LBUTTONUP:
      instance.inputState.leftButtonHeld = false;
      break;
    case WM_MOUSEWHEEL:
      if (instance.role == ROLE_SCENE) {
        zoomOverview(&instance.overviewView, GET_WHEEL_DELTA_WPARAM(wParam));
      }
      break;
    default:
      break;
  }
}
