// Starting the real executable as a user would, reading what it writes to stderr and collecting
// its processes' exit codes. The test binary must define OCULANT_EXECUTABLE.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "test_bench.h"

// This process's children: what it started, and the orphans it adopted.
inline std::vector<pid_t> childProcesses() {
  std::ifstream list("/proc/self/task/" + std::to_string(getpid()) + "/children");
  std::vector<pid_t> pids;
  for (pid_t pid; list >> pid;) pids.push_back(pid);
  return pids;
}

// Kills and reaps every child, then the orphans that leaves (cameras, boxes), until none is left.
inline void killChildren() {
  for (std::vector<pid_t> left = childProcesses(); !left.empty(); left = childProcesses()) {
    for (pid_t pid : left) kill(pid, SIGKILL);
    for (pid_t pid : left) waitpid(pid, nullptr, 0);
  }
}

// The exit code of a child (or adopted orphan): 128 + the signal when one ended it, -1 when it
// has not ended within `seconds` (it is then killed), -2 when it is no child of ours.
inline int waitExit(pid_t pid, int seconds = 60) {
  for (int i = 0; i < seconds * 100; ++i) {
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

// What the bench and everything it started write to a stderr pipe, read as it comes.
class StderrText {
 public:
  StderrText() = default;
  ~StderrText() {
    if (fd_ >= 0) close(fd_);
  }
  StderrText(const StderrText&) = delete;
  StderrText& operator=(const StderrText&) = delete;
  int* fd() { return &fd_; }

  // How often the line has been written once it has been `count` times, or after `seconds`.
  int waitForLine(const std::string& line, int count, double seconds = 60) {
    const time_t giveUp = time(nullptr) + static_cast<time_t>(seconds);
    while (occurrences(line) < count && time(nullptr) < giveUp && readSome()) {
    }
    return occurrences(line);
  }
  // Everything written until every writer has closed the pipe; gives up after a minute.
  const std::string& untilClosed() {
    const time_t giveUp = time(nullptr) + 60;
    while (time(nullptr) < giveUp && readSome()) {
    }
    return text_;
  }
  const std::string& text() const { return text_; }

 private:
  // False once the pipe is closed at the other end.
  bool readSome() {
    pollfd ready = {fd_, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n > 0) text_.append(buffer, static_cast<size_t>(n));
    return n > 0;
  }
  int occurrences(const std::string& line) const {
    int found = 0;
    for (size_t at = text_.find(line); at != std::string::npos; at = text_.find(line, at + 1))
      ++found;
    return found;
  }

  int fd_ = -1;
  std::string text_;
};

// A scene folder inside a fresh runtime folder for one run of the real bench: the demo scene, or
// a config.txt with the text given. Ending it kills every process the test started or adopted.
class BenchFolder {
 public:
  explicit BenchFolder(const char* config = nullptr) {
    // This process collects the orphans: cameras started by the scene become its children when
    // the scene ends, so their exit codes can be read.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const std::string demo = OCULANT_SOURCE_DIR "/examples/demo";
    ok_ = mkdir(folder_.c_str(), 0700) == 0 &&
          (config
               ? static_cast<bool>(std::ofstream(folder_ + "/config.txt") << config)
               : system(("cp " + demo + "/config.txt " + demo + "/*.bmp " + folder_).c_str()) == 0);
  }
  ~BenchFolder() { killChildren(); }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::string& path() const { return folder_; }
  const std::string& runtimeDir() const { return runtime_.path(); }
  bool ok() const { return ok_; }
  // Starts the executable in the folder as a user would, without message boxes unless asked;
  // its stderr goes to errors when given.
  pid_t launch(StderrText* errors = nullptr, bool withBoxes = false) const {
    int errorPipe[2] = {-1, -1};
    if (errors && pipe2(errorPipe, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder_.c_str()) != 0) _exit(127);
      withBoxes ? unsetenv("OCULANT_HEADLESS") : setenv("OCULANT_HEADLESS", "1", 1);
      if (errors) dup2(errorPipe[1], 2);
      execl(OCULANT_EXECUTABLE, OCULANT_EXECUTABLE, static_cast<char*>(nullptr));
      _exit(127);
    }
    if (errors) {
      close(errorPipe[1]);
      *errors->fd() = errorPipe[0];
    }
    return pid;
  }

 private:
  PrivateRuntimeDir runtime_;
  std::string folder_ = runtime_.path() + "/bench";
  bool ok_ = false;
};
