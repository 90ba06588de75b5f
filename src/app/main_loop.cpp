#include "app/main_loop.h"

#include <cmath>

#include "app/input_state.h"
#include "app/lifecycle.h"
#include "app/loop_pacing.h"
#include "messaging/instance_messages.h"
#include "panel/info_log.h"
#include "platform/tick.h"
#include "platform/window.h"
#include "render/frame_renderer.h"
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

int runMainLoop() {
  const bool paced = loopPacingEnabled();
  uint32_t reference = tickCount();
  for (;;) {
    const uint32_t passStart = tickCount();
    MSG message;
    const bool tookMessage = peekMessage(&message);
    if (tookMessage) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      dispatchMessage(message);
    }
    renderFrame();
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
      waitForMessage(pacedWaitMs(passStart, tickCount(), driving, reference));
    }
  }
}
