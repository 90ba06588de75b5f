#include "live_bench.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "bench_clock.h"
#include "oculant/client.h"
#include "platform/posix/transport.h"
#include "wire/wire_format.h"

namespace {

constexpr double kStartLimitSeconds = 30;

bool sceneTakesFrameRequest(HWND own) {
  const COPYDATASTRUCT request = {MSG_FRAME_REQUEST, 0, nullptr};
  return transportSendToClass(kSceneClass, own, request, nullptr, nullptr, 10000) ==
         SendStatus::HANDLED;
}

bool processGone(pid_t pid) {
  if (pid <= 0) return true;
  waitpid(pid, nullptr, WNOHANG);
  return kill(pid, 0) != 0;
}

}  // namespace

LiveBench::LiveBench(const std::string& executable, const std::string& folder, const char* pacing) {
  // The cameras are the scene's children; they become ours to reap when it ends.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const double start = nowSeconds();
  pids_[0] = fork();
  if (pids_[0] == 0) {
    setenv("OCULANT_PACING", pacing, 1);
    setenv("OCULANT_HEADLESS", "1", 1);
    if (chdir(folder.c_str()) != 0) _exit(5);
    execl(executable.c_str(), "oculant", static_cast<char*>(nullptr));
    _exit(6);
  }
  oculant::Client client;
  const HWND own = allocateWindowHandle();
  transportListen(own, nullptr);
  oculant::Frame frame;
  bool answered[3] = {false, false, false};
  while (nowSeconds() - start < kStartLimitSeconds) {
    if (!answered[0]) answered[0] = sceneTakesFrameRequest(own);
    if (!answered[1]) answered[1] = client.grab(oculant::Eye::LEFT, &frame);
    if (!answered[2]) answered[2] = client.grab(oculant::Eye::RIGHT, &frame);
    if (answered[0] && answered[1] && answered[2]) {
      startupMs_ = (nowSeconds() - start) * 1000;
      break;
    }
    usleep(1000);
  }
  transportClose(own);
  for (int i = 1; i < 3; ++i) pids_[i] = transportClassPid(kWindowClass[i]);
}

LiveBench::~LiveBench() {
  oculant::Client client;
  client.quit();
  const double start = nowSeconds();
  for (pid_t pid : pids_) {
    while (!processGone(pid) && nowSeconds() - start < 10) usleep(10000);
    if (!processGone(pid)) kill(pid, SIGKILL);
    if (pid > 0) waitpid(pid, nullptr, 0);
  }
}

double LiveBench::cpuSeconds() const {
  const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
  double total = 0;
  for (pid_t pid : pids_) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // utime and stime are the 12th and 13th fields after the command, which ends with ')'.
    const size_t end = text.rfind(')');
    if (pid <= 0 || end == std::string::npos) continue;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
      if (i == 12) utime = std::atof(field.c_str());
      if (i == 13) stime = std::atof(field.c_str());
    }
    total += (utime + stime) / ticksPerSecond;
  }
  return total;
}

bool LiveBench::resizeCameras(int width, int height) {
  for (int i = 1; i < 3; ++i) {
    const std::string command = std::string("xdotool search --class '^") + kWindowClass[i] +
                                "$' windowsize %@ " + std::to_string(width) + " " +
                                std::to_string(height) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
  }
  oculant::Client client;
  oculant::Frame left, right;
  const double start = nowSeconds();
  while (nowSeconds() - start < 10) {
    if (client.grabPair(&left, &right) && left.width == width && left.height == height &&
        right.width == width && right.height == height) {
      return true;
    }
    usleep(10000);
  }
  return false;
}
