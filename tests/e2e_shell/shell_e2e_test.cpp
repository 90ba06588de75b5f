// The real executable under Xvfb: three windows with their titles, classes and places, the
// refused fourth start, starts by hand, recovery after kill -9, and exit code 0 for every
// process whose window is closed.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <time.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "real_bench.h"

namespace {

// Generous guards against a hang; the checks themselves never depend on timing.
constexpr int kPatienceMs = 60000;

struct BenchWindow {
  Window id;
  std::string title;
  std::string className;
  int x, y, width, height;
  pid_t pid;
};

int ignoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

int64_t nowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class ShellE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Camera processes are reparented here when their starter ends, so their exit codes can
    // be collected.
    ASSERT_TRUE(adoptOrphans());
    char pattern[] = "/tmp/oculant-shell-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    std::ofstream config(folder + "/config.txt");
    config << "ALL=2\nOBJECT1=1\nOBJECT1_X=-1\nOBJECT1_Y=3\nOBJECT1_WIDTH=2\nOBJECT1_HEIGHT=2\n"
              "OBJECT1_R=1\nOBJECT2=2\nOBJECT2_X=1\nOBJECT2_Y=4\nOBJECT2_WIDTH=1\n"
              "OBJECT2_HEIGHT=3\nOBJECT2_G=1\n";
    config.close();
    XSetErrorHandler(ignoreXErrors);
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (run under tests/with_xvfb)";
  }

  void TearDown() override {
    for (const auto& entry : windows()) kill(entry.second.pid, SIGKILL);
    for (pid_t pid : started) kill(pid, SIGKILL);
    int64_t deadline = nowMs() + 5000;
    while (nowMs() < deadline) {
      if (waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) break;
      sleepMs(10);
    }
    if (display) XCloseDisplay(display);
    std::string command = "rm -rf '" + folder + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  static void sleepMs(int ms) { usleep(ms * 1000); }

  pid_t launch(int* stderrPipe = nullptr) {
    const pid_t pid = launchBench(folder, folder + "/run", stderrPipe);
    started.push_back(pid);
    return pid;
  }

  std::string text(Window window, const char* name) {
    std::vector<long> bytes = property(window, name, 1024, 8);
    return std::string(bytes.begin(), bytes.end());
  }
  // Up to `count` items of a window property of the wanted format (8 or 32 bits).
  std::vector<long> property(Window window, const char* name, long count, int wantedFormat = 32) {
    Atom type;
    int format = 0;
    unsigned long items = 0, after;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, count, False,
                           AnyPropertyType, &type, &format, &items, &after, &data) == Success &&
        data && format == wantedFormat) {
      for (unsigned long i = 0; i < items; ++i) {
        values.push_back(format == 8 ? static_cast<char>(data[i])
                                     : reinterpret_cast<long*>(data)[i]);
      }
    }
    if (data) XFree(data);
    return values;
  }

  // The mapped top-level windows of the bench, by class.
  std::map<std::string, BenchWindow> windows() {
    std::map<std::string, BenchWindow> found;
    collectBenchWindows(DefaultRootWindow(display), &found);
    return found;
  }

  void collectBenchWindows(Window parentWindow, std::map<std::string, BenchWindow>* found) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parentWindow, &root, &parent, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, children[i], &attributes) ||
          attributes.map_state != IsViewable) {
        continue;
      }
      XClassHint hint = {nullptr, nullptr};
      if (!XGetClassHint(display, children[i], &hint)) continue;
      std::string className = hint.res_class ? hint.res_class : "";
      std::string instanceName = hint.res_name ? hint.res_name : "";
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (className.rfind("oculant", 0) != 0) continue;
      EXPECT_EQ(instanceName, className);
      BenchWindow window{children[i],
                         text(children[i], "WM_NAME"),
                         className,
                         0,
                         0,
                         attributes.width,
                         attributes.height,
                         0};
      Window child;
      XTranslateCoordinates(display, children[i], root, 0, 0, &window.x, &window.y, &child);
      const std::vector<long> pid = property(children[i], "_NET_WM_PID", 1);
      window.pid = pid.empty() ? 0 : static_cast<pid_t>(pid[0]);
      (*found)[className] = window;
    }
    if (children) XFree(children);
  }

  std::set<std::string> classesShown() {
    std::set<std::string> classes;
    for (const auto& entry : windows()) classes.insert(entry.first);
    return classes;
  }

  bool waitForClasses(const std::set<std::string>& wanted) {
    int64_t deadline = nowMs() + kPatienceMs;
    while (nowMs() < deadline) {
      if (classesShown() == wanted) return true;
      sleepMs(50);
    }
    return false;
  }

  // What the window manager's close button does: WM_DELETE_WINDOW.
  void closeWindow(Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
  }

  void expectPlace(const BenchWindow& window, const char* title, int x, int y, int width,
                   int height) {
    EXPECT_EQ(window.title, title);
    // Xvfb has no window manager, so the client area is the whole outer size.
    EXPECT_EQ(std::vector<int>({window.x, window.y, window.width, window.height}),
              std::vector<int>({x, y, width, height}))
        << title;
  }

  std::string folder;
  Display* display = nullptr;
  std::vector<pid_t> started;
};

const std::set<std::string> kWholeBench = {"oculant", "oculant1", "oculant2"};

TEST_F(ShellE2eTest, WindowsRolesByHandKillNineAndExitCodes) {
  pid_t scene = launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  auto shown = windows();
  expectPlace(shown["oculant"], "Oculant", 0, 0, 800, 600);
  expectPlace(shown["oculant1"], "Camera 1 Left", 820, 0, 320, 240);
  expectPlace(shown["oculant2"], "Camera 2 Right", 820, 260, 320, 240);
  EXPECT_EQ(shown["oculant"].pid, scene);

  // A fourth start is refused with exit code 0; the others run on undisturbed.
  int errors = -1;
  EXPECT_EQ(waitExit(launch(&errors)), 0);
  std::string text;
  char buffer[256];
  for (ssize_t length; (length = read(errors, buffer, sizeof buffer)) > 0;)
    text.append(buffer, length);
  close(errors);
  EXPECT_NE(text.find("Error: Too many program!"), std::string::npos) << text;
  for (const auto& entry : windows()) EXPECT_EQ(entry.second.pid, shown[entry.first].pid);

  // With the scene alone, starts by hand give the left camera, then the right one.
  kill(shown["oculant1"].pid, SIGKILL);
  kill(shown["oculant2"].pid, SIGKILL);
  EXPECT_EQ(waitExit(shown["oculant1"].pid), 128 + SIGKILL);
  EXPECT_EQ(waitExit(shown["oculant2"].pid), 128 + SIGKILL);
  ASSERT_TRUE(waitForClasses({"oculant"}));
  const pid_t left = launch();
  ASSERT_TRUE(waitForClasses({"oculant", "oculant1"}));
  const pid_t right = launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  shown = windows();
  EXPECT_EQ(shown["oculant1"].pid, left);
  EXPECT_EQ(shown["oculant2"].pid, right);
  expectPlace(shown["oculant2"], "Camera 2 Right", 820, 260, 320, 240);

  // Closing a camera ends both cameras with 0; the scene stays.
  closeWindow(shown["oculant2"].id);
  EXPECT_EQ(waitExit(right), 0);
  EXPECT_EQ(waitExit(left), 0);
  ASSERT_TRUE(waitForClasses({"oculant"}));

  // After kill -9 of every instance the next start is a whole bench, and closing its scene
  // ends all three with 0.
  kill(scene, SIGKILL);
  EXPECT_EQ(waitExit(scene), 128 + SIGKILL);
  ASSERT_TRUE(waitForClasses({}));
  scene = launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  shown = windows();
  EXPECT_EQ(shown["oculant"].pid, scene);
  closeWindow(shown["oculant"].id);
  for (const auto& entry : shown) EXPECT_EQ(waitExit(entry.second.pid), 0) << entry.first;
}

}  // namespace
