// Helpers for tests that need a private runtime folder and peer processes that listen.
#pragma once

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/transport.h"

// A fresh runtime folder for the lifetime of the object, named by OCULANT_RUNTIME_DIR.
class PrivateRuntimeDir {
 public:
  PrivateRuntimeDir() {
    char name[] = "/tmp/oculant-test-XXXXXX";
    path_ = mkdtemp(name);
    setenv("OCULANT_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~PrivateRuntimeDir() { system(("rm -rf " + path_).c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Serves this process's windows until stop becomes true or the parent goes away.
inline void serveUntil(const volatile bool& stop, DeliverFn deliver) {
  const pid_t parent = getppid();
  while (!stop && getppid() == parent) {
    pollfd p = {transportWakeFd(), POLLIN, 0};
    poll(&p, 1, 50);
    transportServeWaiting(deliver);
  }
}

// Runs body in a child process; the child ends with body's result as exit code.
template <typename Body>
pid_t spawnPeer(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// Runs body in a child that then stops itself, as a process stopped while it holds what body
// took; returns the child once it has stopped, -1 when body failed.
template <typename Body>
pid_t spawnStopped(Body body) {
  const pid_t pid = spawnPeer([body] {
    if (!body()) return 3;
    raise(SIGSTOP);
    return 0;
  });
  int status = 0;
  return waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status) ? pid : -1;
}

// Waits until a window of the class listens; false when it never comes.
inline bool waitForClass(const char* className) {
  for (int i = 0; i < 2000; ++i) {
    if (transportFindClass(className) != 0) return true;
    usleep(5000);
  }
  return false;
}

// The process behind the live window of the class; 0 when no such window listens.
inline pid_t pidOfWindow(const char* className) {
  return transportClassPid(className);
}

// Kills a peer started by this test (if it still runs) and returns its exit code, -1 when it
// did not exit normally.
inline int reapPeer(pid_t pid, bool kill = true) {
  if (kill) ::kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
