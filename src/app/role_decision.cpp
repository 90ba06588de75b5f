#include "app/role_decision.h"

#include "scene/scene_state.h"

bool decideRole(const RoleServices& services) {
  role = ROLE_SCENE;
  services.beginDecision();
  if (services.openSemaphore()) {
    // A release followed by a wait leaves the count as it was and reads it.
    int32_t previousCount = 0;
    if (services.releaseSemaphore(1, &previousCount)) services.waitSemaphore(1);
    if (previousCount >= 3) {
      services.endDecision();
      services.showError("Too many program!");
      return false;
    }
    role = static_cast<InstanceRole>(previousCount);
    if ((role == ROLE_LEFT_CAMERA && services.findWindow("oculant1") != 0) ||
        (role == ROLE_RIGHT_CAMERA && services.findWindow("oculant2") != 0)) {
      services.endDecision();
      return false;
    }
    // The unit this instance holds until its window is destroyed.
    services.releaseSemaphore(1, nullptr);
  } else {
    if (services.findWindow("oculant") != 0) {
      services.endDecision();
      return false;
    }
    services.createSemaphore(kSemaphoreInitialCount, kSemaphoreMaximumCount);
  }
  services.endDecision();
  return true;
}
