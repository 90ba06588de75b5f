// Message boxes on Windows. MessageBoxA runs a modal loop that hands this thread's sent
// messages to their windows, so the instance messages keep being answered while a box is up.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon, MessageEcho echo) {
  if (echo == MessageEcho::STDERR) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
  }
  const char* headless = std::getenv("OCULANT_HEADLESS");
  if (headless && std::strcmp(headless, "1") == 0) return;
  const UINT style = MB_OK | (icon == MessageBoxIcon::ERROR_ICON ? MB_ICONERROR : 0);
  MessageBoxA(nullptr, text, caption, style);
}
