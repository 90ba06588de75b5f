#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/backend.h"
#include "platform/posix/transport.h"

namespace {

// How long the waiting thread sleeps between looks at the box, unless a message wakes it.
constexpr int kServePollMs = 50;

bool boxesWanted() {
  const char* headless = std::getenv("OCULANT_HEADLESS");
  if (headless && std::strcmp(headless, "1") == 0) return false;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

// SDL shows the box in a process of its own that it forks (X11; zenity under Wayland), and the
// thread that asked only waits for that process to end. Set on the box thread while it shows
// its box; the fork handler below marks the box process as started.
thread_local std::atomic<bool>* boxProcessStarted = nullptr;

void noteForkOnBoxThread() {
  if (boxProcessStarted) boxProcessStarted->store(true);
}

// The box process tells its id through this pipe (the write end, set on the box thread), so
// that the box can be closed when a quit ends this process: a box must not outlive its bench.
thread_local int boxPidPipe = -1;

void tellPidFromBoxProcess() {
  if (boxPidPipe < 0) return;
  const pid_t pid = getpid();
  if (write(boxPidPipe, &pid, sizeof pid) != static_cast<ssize_t>(sizeof pid)) return;
}

// Ends the box process once a quit has been posted (a quit message served while the box was up
// has closed the window): the user has nothing left to answer.
void closeBoxOnQuit(int pidPipe, pid_t* boxPid) {
  if (*boxPid == 0) {
    pid_t told = 0;
    if (read(pidPipe, &told, sizeof told) == static_cast<ssize_t>(sizeof told)) *boxPid = told;
  }
  if (*boxPid > 0 && quitPending()) {
    kill(*boxPid, SIGTERM);
    *boxPid = -1;
  }
}

// Before and after the box SDL resets the keyboard, shows the cursor, leaves relative mouse
// mode and raises the window that had the keyboard focus. With no focus, the cursor shown and
// relative mode off none of that does anything, so another thread may show the box while this
// one runs window procedures (which may even destroy the window SDL would raise).
bool boxLeavesSdlStateAlone() {
  return SDL_GetKeyboardFocus() == nullptr && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE &&
         !SDL_GetRelativeMouseMode();
}

// A modal box keeps answering the instance messages sent to its thread's windows: the box is
// shown from a helper thread while this one serves them until it is closed. Serving starts only
// once the box process has been forked, so that the fork happens while this thread is idle, as
// it would without the helper, and never copies a lock that a window procedure holds. False
// when no helper thread could be started.
bool showWhileServing(Uint32 flags, const char* caption, const char* text) {
  static std::once_flag forkHandler;
  std::call_once(forkHandler,
                 [] { pthread_atfork(nullptr, noteForkOnBoxThread, tellPidFromBoxProcess); });
  int pidPipe[2];
  if (pipe2(pidPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  std::atomic<bool> started{false};
  std::atomic<bool> closed{false};
  std::thread boxThread;
  try {
    boxThread = std::thread([&] {
      boxProcessStarted = &started;
      boxPidPipe = pidPipe[1];
      SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
      boxPidPipe = -1;
      boxProcessStarted = nullptr;
      closed.store(true);
    });
  } catch (const std::system_error&) {
    close(pidPipe[0]);
    close(pidPipe[1]);
    return false;
  }
  pid_t boxPid = 0;
  while (!closed.load()) {
    // Without a box process (SDL could not fork) SDL shows the box from the box thread inside
    // this process, through Xlib and with the process's locale changed: window procedures must
    // not run alongside, so nothing is served then.
    const bool serving = started.load();
    const int timerMs = serving ? transportTimerMs() : -1;
    pollfd wake = {serving ? transportWakeFd() : -1, POLLIN, 0};
    poll(&wake, 1, timerMs >= 0 && timerMs < kServePollMs ? timerMs : kServePollMs);
    if (serving) {
      serveInstanceMessages();
      closeBoxOnQuit(pidPipe[0], &boxPid);
    }
  }
  boxThread.join();
  close(pidPipe[0]);
  close(pidPipe[1]);
  return true;
}

}  // namespace

void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon, MessageEcho echo) {
  if (echo == MessageEcho::STDERR) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
  }
  if (!boxesWanted()) return;
  Uint32 flags = icon == MessageBoxIcon::ERROR_ICON ? SDL_MESSAGEBOX_ERROR : 0;
  // With no window listening there is nothing to serve while the box is up.
  if (transportWakeFd() >= 0 && boxLeavesSdlStateAlone() &&
      showWhileServing(flags, caption, text)) {
    return;
  }
  SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
}
