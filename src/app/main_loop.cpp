#include "app/main_loop.h"

#include <cmath>

#include "app/drive_steps.h"
#include "app/lifecycle.h"
#include "app/loop_pacing.h"
#include "app/paint.h"
#include "messaging/instance_messages.h"
#include "panel/info_log.h"
#include "platform/platform.h"
#include "scene/camera_view.h"
#include "scene/input_state.h"
#include "scene/scene_state.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDistancePerStep = 0.05;
}  // namespace

void advanceRig() {
  double radians = rigPose.heading * kPi / 180;
  rigPose.rigX += std::cos(radians) * kDistancePerStep;
  rigPose.rigY += std::sin(radians) * kDistancePerStep;
  double position[2] = {rigPose.rigX, rigPose.rigY};
  sendToCameras(MSG_RIG_XY, kRigXyPayloadSize, position, mainWindow);
  logRigPose();
}

namespace {

CameraView viewOfMainWindow() {
  int width = 0;
  int height = 0;
  getClientRect(mainWindow, &width, &height);
  return currentCameraView(width, height);
}

}  // namespace

int runMainLoop() {
  const bool paced = loopPacingEnabled();
  uint32_t reference = tickCount();
  uint32_t lastFrame = reference - kIdleRefreshMs;
  CameraView drawnView = viewOfMainWindow();
  unsigned long eventsAtFrame = inputEventsTaken() - 1;
  for (;;) {
    MSG message;
    const bool tookMessage = peekMessage(&message);
    if (tookMessage) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      dispatchMessage(message);
    }
    // Paced, a frame is drawn when one is due and the view may have changed; frame requests
    // and saves are answered from a frame of their own, so serving them draws nothing here.
    // A window closed by the message just dispatched is not painted again: the panel would
    // read the size of a window that no longer exists.
    const CameraView view = viewOfMainWindow();
    const uint32_t sinceFrame = tickCount() - lastFrame;
    const bool due = !paced || sinceFrame >= kIdleRefreshMs ||
                     (sinceFrame >= kFrameIntervalMs &&
                      (inputEventsTaken() != eventsAtFrame || !sameView(view, drawnView)));
    if (due && isWindow(mainWindow)) {
      paintFrame(view);
      lastFrame = tickCount();
      drawnView = view;
      eventsAtFrame = inputEventsTaken();
    }
    syncCameras(mainWindow);
    const bool driving = inputState.leftButtonHeld && inputState.shiftHeld && role == ROLE_SCENE;
    uint32_t remainder = 0;
    const int steps = countDriveSteps(reference, tickCount(), &remainder);
    if (steps > 0) {
      for (int step = 0; step < steps; ++step) {
        if (inputState.leftButtonHeld && inputState.shiftHeld && role == ROLE_SCENE) advanceRig();
      }
      // Taken afresh, so time spent waiting on the cameras inside the steps is not counted.
      reference = tickCount() - remainder;
    }
    // More input may be queued behind a message taken, so only an idle pass waits.
    if (paced && !tookMessage) {
      waitForMessage(pacedWaitMs(lastFrame, tickCount(), driving, reference));
    }
  }
}
