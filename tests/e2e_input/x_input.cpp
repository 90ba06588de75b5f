#include "x_input.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int64_t kPatienceMs = 60000;

int64_t nowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void idle(const std::function<void()>& step) {
  if (step) {
    step();
  } else {
    usleep(1000);
  }
}

}  // namespace

bool xdotool(const std::vector<std::string>& arguments, const std::function<void()>& whileWaiting) {
  std::vector<char*> argv = {const_cast<char*>("xdotool")};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  bool ended = waitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, whileWaiting);
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool focusWindowOfClass(const std::string& className, const std::function<void()>& whileWaiting) {
  return xdotool({"search", "--sync", "--onlyvisible", "--classname", "^" + className + "$",
                  "windowfocus", "--sync"},
                 whileWaiting);
}

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step) {
  const int64_t deadline = nowMs() + kPatienceMs;
  while (nowMs() < deadline) {
    if (done()) return true;
    idle(step);
  }
  return done();
}
