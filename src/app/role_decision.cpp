#include "app/role_decision.h"

#include <initializer_list>

#include "app/role_table.h"
#include "scene/scene_state.h"

namespace {

bool hasWindow(const RoleServices& services, InstanceRole instanceRole) {
  return services.findWindow(roleWindowOf(instanceRole).className) != 0;
}

// Scene first: a scene that comes back starts whichever cameras are missing too.
bool firstMissingRole(const RoleServices& services, InstanceRole* missing) {
  for (InstanceRole candidate : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    if (!hasWindow(services, candidate)) {
      *missing = candidate;
      return true;
    }
  }
  return false;
}

RoleOutcome refuse(const RoleServices& services) {
  services.endDecision();
  services.showError("Too many program!");
  return RoleOutcome::REFUSED;
}

}  // namespace

RoleOutcome decideRole(const RoleServices& services) {
  role = ROLE_SCENE;
  services.beginDecision();
  if (services.openSemaphore()) {
    // A release followed by a wait leaves the count as it was and reads it.
    int32_t previousCount = 0;
    if (services.releaseSemaphore(1, &previousCount)) services.waitSemaphore(1);
    if (previousCount >= 3) return refuse(services);
    role = static_cast<InstanceRole>(previousCount);
    // The count is short of the windows when an instance was killed: its unit went with it,
    // but the instances counted after it keep theirs.
    if (hasWindow(services, role) && !firstMissingRole(services, &role)) return refuse(services);
    // The unit this instance holds until its window is destroyed.
    services.releaseSemaphore(1, nullptr);
  } else {
    if (hasWindow(services, ROLE_SCENE)) {
      services.endDecision();
      services.explainEnd("the scene is already running");
      return RoleOutcome::ENDS_QUIETLY;
    }
    services.createSemaphore(kSemaphoreInitialCount, kSemaphoreMaximumCount);
  }
  services.endDecision();
  return RoleOutcome::TAKEN;
}
