#include "app/determine_role.h"

#include <cstdio>

#include "platform/instance_semaphore.h"
#include "platform/message_box.h"
#include "platform/runtime_dir.h"
#include "platform/window.h"

namespace {

void showError(const char* text) {
  showMessageBox(text, "Error", MESSAGE_BOX_ERROR);
}

// The folder names the bench, so the user can tell which one is meant.
void explainEnd(const char* why) {
  std::fprintf(stderr, "oculant: %s in %s\n", why, runtimeDirectory().c_str());
  std::fflush(stderr);
}

}  // namespace

RoleOutcome determineRole() {
  static const RoleServices services = {
      beginRoleDecision,
      endRoleDecision,
      openInstanceSemaphore,
      createInstanceSemaphore,
      releaseInstanceSemaphore,
      waitInstanceSemaphore,
      findWindow,
      showError,
      explainEnd,
  };
  return decideRole(services);
}
