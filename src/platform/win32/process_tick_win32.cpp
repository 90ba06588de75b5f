// Starting another instance, and the tick clock, on Windows.
#include "platform/platform.h"

// "oculant.exe" of the current folder, the scene folder the bench was started in: a bare name,
// which the system completes with the current folder and never looks up on the path. A folder
// without it starts nothing, and the scene runs alone. The new window is shown without taking
// the activation (SW_SHOWDEFAULT takes this show command), so the keyboard stays with the scene.
// The new process inherits no handles and is not waited for.
void startInstanceProcess() {
  char commandLine[] = "oculant.exe";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNOACTIVATE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA("oculant.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

uint32_t tickCount() {
  return GetTickCount();
}
