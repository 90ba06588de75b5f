// Starting the real executable as a user would, and collecting its processes' exit codes.
// The test binary must define OCULANT_EXECUTABLE.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

// Makes this process the one that collects orphans: cameras started by the scene become its
// children when the scene ends, so their exit codes can be read.
inline bool adoptOrphans() {
  return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

// Starts the bench in `folder` (where its config.txt is) with no message boxes. With a
// runtime folder, that one; with stderrPipe, the read end of its standard error.
inline pid_t launchBench(const std::string& folder, const std::string& runtimeDir = "",
                         int* stderrPipe = nullptr) {
  int errorPipe[2] = {-1, -1};
  if (stderrPipe && pipe(errorPipe) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (!runtimeDir.empty()) setenv("OCULANT_RUNTIME_DIR", runtimeDir.c_str(), 1);
    setenv("OCULANT_HEADLESS", "1", 1);
    if (stderrPipe) {
      dup2(errorPipe[1], 2);
      close(errorPipe[0]);
      close(errorPipe[1]);
    }
    execl(OCULANT_EXECUTABLE, OCULANT_EXECUTABLE, static_cast<char*>(nullptr));
    _exit(127);
  }
  if (stderrPipe) {
    close(errorPipe[1]);
    *stderrPipe = errorPipe[0];
  }
  return pid;
}

#ifdef OCULANT_DEMO_DIR
// Copies the demo scene (config.txt and its textures) into folder; true when it worked.
inline bool copyDemoScene(const std::string& folder) {
  return system(
             ("cp " OCULANT_DEMO_DIR "/config.txt " OCULANT_DEMO_DIR "/*.bmp " + folder).c_str()) ==
         0;
}
#endif

// The exit code of a child (or adopted orphan): 128 + the signal when one ended it, -1 when it
// has not ended within a minute (it is then killed), -2 when it is no child of ours.
inline int waitExit(pid_t pid) {
  for (int i = 0; i < 6000; ++i) {
    int status = 0;
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (ended < 0) return -2;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}
