// The real bench with error boxes up: a texture named in config.txt is missing, so every
// instance shows the loader's box while its window is made, the window already listening. As
// under a modal box of the original platform, peers get their messages handled meanwhile instead
// of waiting out the send time-out, and a frame request or a quit handled inside the interrupted
// set-up breaks nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "x_input.h"

// Last: its macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>

namespace {

const char* const kMissingTexture = "Error: Failed to open DIB file missing.bmp.";

// This process's children: the scene, and the cameras and boxes it adopts when their parents end.
std::vector<pid_t> children() {
  std::ifstream list("/proc/self/task/" + std::to_string(getpid()) + "/children");
  std::vector<pid_t> pids;
  for (pid_t pid; list >> pid;) pids.push_back(pid);
  return pids;
}

// Closes every error box on the display as its close button would; returns how many there were.
int closeErrorBoxes() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // a box that went meanwhile
  const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XEvent close = {};
  close.xclient.type = ClientMessage;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  Window root = 0, parent = 0, *windows = nullptr;
  unsigned count = 0;
  int closed = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &windows, &count);
  for (unsigned i = 0; i < count; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* title = nullptr;
    XGetWindowProperty(display, windows[i], name, 0, 16, False, utf8, &type, &format, &items,
                       &after, &title);
    if (title != nullptr && std::string(reinterpret_cast<char*>(title), items) == "Error") {
      close.xclient.window = windows[i];
      XSendEvent(display, windows[i], False, NoEventMask, &close);
      ++closed;
    }
    if (title != nullptr) XFree(title);
  }
  if (windows != nullptr) XFree(windows);
  XCloseDisplay(display);
  return closed;
}

// Every process still there is killed, the boxes of killed instances included.
void killChildren() {
  for (std::vector<pid_t> left = children(); !left.empty(); left = children()) {
    for (pid_t pid : left) kill(pid, SIGKILL);
    for (pid_t pid : left) waitpid(pid, nullptr, 0);
  }
}

TEST(MessageBoxE2e, InstancesServeMessagesWhileTheirErrorBoxesAreUp) {
  ASSERT_TRUE(adoptOrphans());
  PrivateRuntimeDir runtime;
  const std::string folder = runtime.path() + "/bench";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::ofstream(folder + "/config.txt")
      << "ALL=1\nOBJECT1=1\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=missing.bmp\n";
  StderrText errors;
  const pid_t scene = launchBench(folder, "", errors.fd(), true);
  ASSERT_GT(scene, 0);
  struct Cleanup {
    ~Cleanup() { killChildren(); }
  } cleanup;
  ASSERT_GE(errors.waitForLine(kMissingTexture, 1), 1);

  oculant::Client client;
  const auto start = std::chrono::steady_clock::now();
  // Unserved, the heading waits out the send time-out and fails; nothing after it could pass.
  ASSERT_TRUE(client.sendHeading(45, true)) << client.error();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  // With its box closed the scene starts the cameras, and each shows the same box.
  ASSERT_TRUE(waitUntil([] { return closeErrorBoxes() > 0; }, [] { usleep(50000); }));
  ASSERT_GE(errors.waitForLine(kMissingTexture, 3), 3);
  const std::vector<pid_t> instances = children();
  EXPECT_EQ(instances.size(), 3u);

  // The frame is drawn inside the camera's texture set-up.
  oculant::Frame frame;
  EXPECT_TRUE(client.grab(oculant::Eye::LEFT, &frame)) << client.error();
  EXPECT_EQ(frame.width, 320);
  EXPECT_EQ(frame.height, 240);

  // The cameras close their windows inside the set-up too; once their boxes are closed (and
  // then "Error1001", since no window was made), the scene ends with 0 and each camera with 1.
  EXPECT_TRUE(client.quit()) << client.error();
  std::vector<int> exitCodes(instances.size(), -1);
  auto allEnded = [&] {
    for (size_t i = 0; i < instances.size(); ++i) {
      int status = 0;
      if (exitCodes[i] == -1 && waitpid(instances[i], &status, WNOHANG) == instances[i]) {
        exitCodes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    return std::count(exitCodes.begin(), exitCodes.end(), -1) == 0;
  };
  EXPECT_TRUE(waitUntil(allEnded, [] {
    closeErrorBoxes();
    usleep(50000);
  }));
  for (size_t i = 0; i < instances.size(); ++i)
    EXPECT_EQ(exitCodes[i], instances[i] == scene ? 0 : 1) << "pid " << instances[i];
}

}  // namespace
