#include "app/role_decision.h"

#include <cstdio>
#include <initializer_list>

#include "app/role_table.h"
#include "platform/platform.h"
#include "scene/scene_state.h"

namespace {

bool hasWindow(InstanceRole instanceRole) {
  return findWindow(roleWindowOf(instanceRole).className) != 0;
}

// Scene first: a scene that comes back starts whichever cameras are missing too.
bool firstMissingRole(InstanceRole* missing) {
  for (InstanceRole candidate : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    if (!hasWindow(candidate)) {
      *missing = candidate;
      return true;
    }
  }
  return false;
}

RoleOutcome refuse() {
  endRoleDecision();
  showMessageBox("Too many program!", "Error", MessageBoxIcon::ERROR_ICON);
  return RoleOutcome::REFUSED;
}

// The place names the bench, so the user can tell which one is meant.
RoleOutcome endQuietly(const char* why) {
  endRoleDecision();
  std::fprintf(stderr, "oculant: %s in %s\n", why, benchLocation().c_str());
  std::fflush(stderr);
  return RoleOutcome::ENDS_QUIETLY;
}

}  // namespace

RoleOutcome determineRole(InstanceRole* role) {
  *role = ROLE_SCENE;
  beginRoleDecision();
  if (openInstanceSemaphore()) {
    // A release followed by a wait leaves the count as it was and reads it.
    int32_t previousCount = 0;
    if (releaseInstanceSemaphore(1, &previousCount)) waitInstanceSemaphore(1);
    if (previousCount >= 3) return refuse();
    *role = static_cast<InstanceRole>(previousCount);
    // The count is short of the windows when an instance was killed: its unit went with it,
    // but the instances counted after it keep theirs.
    if (hasWindow(*role) && !firstMissingRole(role)) return refuse();
    // The unit this instance holds until its window is destroyed.
    releaseInstanceSemaphore(1, nullptr);
  } else {
    if (hasWindow(ROLE_SCENE)) return endQuietly("the scene is already running");
    createInstanceSemaphore(kSemaphoreInitialCount, kSemaphoreMaximumCount);
  }
  endRoleDecision();
  return RoleOutcome::TAKEN;
}
