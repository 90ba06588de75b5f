// Running code that may hang or eat memory (a read of a FIFO or of /dev/zero) in a child process
// held to a time and a memory bound, so that a fault fails the test instead of hanging it or
// exhausting the machine.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

struct ChildOutcome {
  int exitCode;        // -1 when a signal ended the child, SIGALRM among them
  std::string errors;  // what it wrote to stderr
};

// Runs body in a child that is killed after 10 s and may map 256 MiB more than it started with
// (relative, so that a sanitizer's reserved shadow does not count); it exits with body's result.
template <typename Body>
ChildOutcome runBounded(Body body) {
  char errorsPath[] = "/tmp/oculant-child-errors-XXXXXX";
  const int errors = mkstemp(errorsPath);
  unlink(errorsPath);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    long pages = 0;  // stays 0 when statm cannot be read
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t bytes = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (rlim_t{256} << 20);
    const rlimit limit = {bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    dup2(errors, 2);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ChildOutcome outcome = {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ""};
  char buffer[4096];
  for (ssize_t n; (n = pread(errors, buffer, sizeof buffer, outcome.errors.size())) > 0;)
    outcome.errors.append(buffer, static_cast<size_t>(n));
  close(errors);
  return outcome;
}
