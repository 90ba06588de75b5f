#include "platform/posix/termination_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The handler may only touch these: a flag and a non-blocking write to a pipe.
volatile sig_atomic_t requested = 0;
int wakePipe[2] = {-1, -1};

void onTerminationSignal(int) {
  const int saved = errno;
  requested = 1;
  const char byte = 1;
  if (write(wakePipe[1], &byte, 1) < 0) {
    // A full pipe already wakes the loop.
  }
  errno = saved;
}

// A forked child that does not exec (the process SDL shows a message box in) has no window of
// its own to close: a termination signal ends it, as whoever sends one expects.
void defaultHandlingInChild() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
}

}  // namespace

void catchTerminationSignals() {
  if (wakePipe[0] >= 0 || pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
  struct sigaction action = {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  pthread_atfork(nullptr, nullptr, defaultHandlingInChild);
}

int terminationWakeFd() {
  return wakePipe[0];
}

bool takeTerminationRequest() {
  if (!requested) return false;
  requested = 0;
  char drain[16];
  while (read(wakePipe[0], drain, sizeof drain) > 0) {
  }
  return true;
}
