// Starting another instance, and the tick clock, on Windows.
#include <string>

#include "platform/platform.h"

namespace {

std::string executablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

}  // namespace

// "oculant.exe" of the current folder, the scene folder the bench was started in; when that
// folder has none (the executable was started from elsewhere), the running executable itself.
// The new process inherits no handles and is not waited for.
void startInstanceProcess() {
  std::string application = "oculant.exe";
  if (GetFileAttributesA(application.c_str()) == INVALID_FILE_ATTRIBUTES) {
    application = executablePath();
    if (application.empty()) return;
  }
  char commandLine[] = "oculant.exe";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(application.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

uint32_t tickCount() {
  return GetTickCount();
}
