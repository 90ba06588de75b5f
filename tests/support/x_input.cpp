#include "x_input.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    step ? step() : static_cast<void>(usleep(1000));
  }
  return done();
}

bool xdotool(const std::vector<std::string>& arguments, const std::function<void()>& whileWaiting) {
  std::vector<char*> argv = {const_cast<char*>("xdotool")};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (!waitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, whileWaiting)) {
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
