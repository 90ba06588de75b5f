// The process entry of every instance: role, window class, window, main loop. Every way out
// returns 0.
#include "app/lifecycle.h"
#include "app/main_loop.h"
#include "app/role_decision.h"
#include "app/role_table.h"
#include "app/window_icon.h"
#include "app/window_proc.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "scene/scene_state.h"

int main() {
  role = ROLE_SCENE;
  if (!determineRole()) return 0;

  const RoleWindow& roleWindow = roleWindowOf(role);
  WindowIcon icon = windowIcon();
  if (!registerWindowClass(roleWindow.className, mainWindowProc, &icon)) {
    showMessageBox("Cannot register class", "Error", MESSAGE_BOX_PLAIN);
    return 0;
  }
  mainWindow = createWindow(roleWindow.className, roleWindow.title, roleWindow.x, roleWindow.y,
                            roleWindow.width, roleWindow.height);
  if (mainWindow == 0) {
    showMessageBox("Error1001", "Error", MESSAGE_BOX_ERROR);
    return 0;
  }
  showWindow(mainWindow);
  return runMainLoop();
}
