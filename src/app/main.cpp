// The process entry of every instance: role, window class, window, main loop. A start that is
// refused or cannot make its window ends with 1, so scripts can tell it from a bench that ran;
// every other way out returns 0.
#include "app/command_line.h"
#include "app/lifecycle.h"
#include "app/main_loop.h"
#include "app/role_decision.h"
#include "app/role_table.h"
#include "app/window_icon.h"
#include "app/window_proc.h"
#include "messaging/camera_links.h"
#include "messaging/instance.h"
#include "platform/platform.h"

constexpr int kStartFailed = 1;

int main(int argc, char** argv) {
  if (answerCommandLine(argc, argv)) return 0;
  Instance instance;
  switch (determineRole(&instance.role)) {
    case RoleOutcome::TAKEN:
      break;
    case RoleOutcome::ENDS_QUIETLY:
      return 0;
    case RoleOutcome::REFUSED:
      return kStartFailed;
  }

  bindWindowInstance(instance);
  const RoleWindow& roleWindow = roleWindowOf(instance.role);
  WindowIcon icon = windowIcon();
  if (!registerWindowClass(roleWindow.className, mainWindowProc, &icon)) {
    showMessageBox("Cannot register class", "Error", MessageBoxIcon::PLAIN);
    return kStartFailed;
  }
  instance.mainWindow = createWindow(roleWindow.className, roleWindow.title, roleWindow.x,
                                     roleWindow.y, roleWindow.width, roleWindow.height);
  if (instance.mainWindow == 0 && instance.destroyedWindow != 0) {
    // A quit closed the window while its set-up was still under way: the bench was closed, which
    // is no failure to start.
    finishCameraCommands(instance, instance.destroyedWindow);
    return 0;
  }
  if (instance.mainWindow == 0) {
    showMessageBox("Error1001", "Error", MessageBoxIcon::ERROR_ICON);
    return kStartFailed;
  }
  showWindow(instance.mainWindow);
  const int exitCode = runMainLoop(instance);
  // The quit onDestroy sent reaches a camera that was not answering then, if it comes back soon.
  finishCameraCommands(instance, instance.mainWindow);
  return exitCode;
}
