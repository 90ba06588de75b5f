#include "app/main_loop.h"

#include "app/drive_steps.h"
#include "app/lifecycle.h"
#include "app/loop_pacing.h"
#include "app/paint.h"
#include "app/shell_rules.h"
#include "messaging/camera_links.h"
#include "platform/platform.h"

namespace {

CameraView viewOfMainWindow(const Instance& instance) {
  int width = 0;
  int height = 0;
  getClientRect(instance.mainWindow, &width, &height);
  return currentCameraView(instance, width, height);
}

}  // namespace

int runMainLoop(Instance& instance) {
  const bool paced = loopPacingEnabled();
  DriveClock clock = {tickCount(), 0};
  uint32_t lastFrame = clock.reference - kIdleRefreshMs;
  CameraView drawnView = viewOfMainWindow(instance);
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
    const CameraView view = viewOfMainWindow(instance);
    const uint32_t sinceFrame = tickCount() - lastFrame;
    const bool due = !paced || sinceFrame >= kIdleRefreshMs ||
                     (sinceFrame >= kFrameIntervalMs &&
                      (inputEventsTaken() != eventsAtFrame || !sameView(view, drawnView)));
    if (due && isWindow(instance.mainWindow)) {
      paintFrame(view);
      lastFrame = tickCount();
      drawnView = view;
      eventsAtFrame = inputEventsTaken();
    }
    syncCameras(instance, instance.mainWindow);
    const bool driving = instance.inputState.leftButtonHeld && instance.inputState.shiftHeld &&
                         instance.role == ROLE_SCENE;
    const int steps = driveStepsDue(&clock, tickCount());
    if (steps > 0) {
      for (int step = 0; step < steps; ++step) {
        if (instance.inputState.leftButtonHeld && instance.inputState.shiftHeld &&
            instance.role == ROLE_SCENE) {
          advanceRig(instance, instance.mainWindow);
        }
      }
      driveStepsTaken(&clock, tickCount());
    }
    // More input may be queued behind a message taken, so only an idle pass waits.
    if (paced && !tookMessage) {
      waitForMessage(pacedWaitMs(lastFrame, tickCount(), driving, clock.reference));
    }
  }
}
