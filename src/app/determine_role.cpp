#include "app/role_decision.h"
#include "platform/instance_semaphore.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace {

void showError(const char* text) {
  showMessageBox(text, "Error", MESSAGE_BOX_ERROR);
}

}  // namespace

bool determineRole() {
  static const RoleServices services = {
      beginRoleDecision,
      endRoleDecision,
      openInstanceSemaphore,
      createInstanceSemaphore,
      releaseInstanceSemaphore,
      waitInstanceSemaphore,
      findWindow,
      showError,
  };
  return decideRole(services);
}
