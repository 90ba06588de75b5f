// Process start on POSIX: /proc/self/exe again. No descriptor of this process is passed on, and
// the new process goes to the nearest subreaper.
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/platform.h"

extern char** environ;

void startInstanceProcess() {
  // The path is read before forking: only async-signal-safe calls follow in the children.
  char executable[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length <= 0) return;
  executable[length] = '\0';

  // Started through an intermediate process that ends at once, so the new instance is
  // reparented and this one collects no zombie.
  pid_t intermediate = fork();
  if (intermediate < 0) return;
  if (intermediate == 0) {
    pid_t instance = fork();
    if (instance == 0) {
      syscall(SYS_close_range, 3U, ~0U, 0U);
      char* const arguments[] = {executable, nullptr};
      execve(executable, arguments, environ);
      _exit(0);
    }
    _exit(0);
  }
  while (waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }
}
