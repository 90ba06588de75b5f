// The real executable under Xvfb: three windows with their titles, classes and places, starts by
// hand, and exit code 0 for every process whose window is closed.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "real_bench.h"
#include "test_bench.h"

namespace {

struct BenchWindow {
  Window id;
  std::string title;  // with the place and size: "Oculant 0,0 800x600"
  pid_t pid;
};

int ignoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

class ShellE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Camera processes are reparented here when their starter ends, so their exit codes can
    // be collected.
    ASSERT_TRUE(adoptOrphans());
    std::ofstream(dir.path() + "/config.txt") << "ALL=1\nOBJECT1=1\nOBJECT1_Y=3\nOBJECT1_WIDTH=2\n"
                                                 "OBJECT1_HEIGHT=2\nOBJECT1_R=1\n";
    XSetErrorHandler(ignoreXErrors);
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (run under tests/with_xvfb)";
  }

  void TearDown() override {
    for (const auto& entry : windows()) kill(entry.second.pid, SIGKILL);
    for (pid_t pid : started) kill(pid, SIGKILL);
    while (waitpid(-1, nullptr, 0) > 0) {
    }
    XCloseDisplay(display);
  }

  pid_t launch() {
    started.push_back(launchBench(dir.path(), dir.path() + "/run"));
    return started.back();
  }

  // The mapped top-level windows of the bench, by class (Xvfb has no window manager, so the
  // client area is the whole outer size).
  std::map<std::string, BenchWindow> windows() {
    std::map<std::string, BenchWindow> found;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes a;
      XClassHint hint = {nullptr, nullptr};
      if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable ||
          !XGetClassHint(display, children[i], &hint)) {
        continue;
      }
      const std::string className = hint.res_class;
      EXPECT_EQ(std::string(hint.res_name), className);
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (className.rfind("oculant", 0) != 0) continue;
      char* name = nullptr;
      XFetchName(display, children[i], &name);
      int x = 0, y = 0;
      Window child;
      XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
      BenchWindow& window = found[className];
      window = {children[i],
                std::string(name ? name : "") + " " + std::to_string(x) + "," + std::to_string(y) +
                    " " + std::to_string(a.width) + "x" + std::to_string(a.height),
                0};
      XFree(name);
      Atom type;
      int format = 0;
      unsigned long items = 0, after;
      unsigned char* data = nullptr;
      XGetWindowProperty(display, children[i], XInternAtom(display, "_NET_WM_PID", False), 0, 1,
                         False, XA_CARDINAL, &type, &format, &items, &after, &data);
      if (data && items == 1) window.pid = pid_t(*reinterpret_cast<long*>(data));
      if (data) XFree(data);
    }
    if (children) XFree(children);
    return found;
  }

  bool waitForClasses(const std::set<std::string>& wanted) {
    for (int i = 0; i < 1200; ++i) {  // a guard against a hang, never a measure of speed
      std::set<std::string> shown;
      for (const auto& entry : windows()) shown.insert(entry.first);
      if (shown == wanted) return true;
      usleep(50000);
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
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
  }

  PrivateRuntimeDir dir;
  Display* display = nullptr;
  std::vector<pid_t> started;
};

const std::set<std::string> kWholeBench = {"oculant", "oculant1", "oculant2"};

TEST_F(ShellE2eTest, WindowsStartsByHandAndExitCodesOfTheCloseButton) {
  const pid_t scene = launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  auto shown = windows();
  EXPECT_EQ(shown["oculant"].title, "Oculant 0,0 800x600");
  EXPECT_EQ(shown["oculant1"].title, "Camera 1 Left 820,0 320x240");
  EXPECT_EQ(shown["oculant2"].title, "Camera 2 Right 820,260 320x240");
  EXPECT_EQ(shown["oculant"].pid, scene);

  // Closing a camera ends both cameras with 0; the scene stays.
  closeWindow(shown["oculant2"].id);
  EXPECT_EQ(waitExit(shown["oculant2"].pid), 0);
  EXPECT_EQ(waitExit(shown["oculant1"].pid), 0);
  ASSERT_TRUE(waitForClasses({"oculant"}));

  // With the scene alone, starts by hand give the left camera, then the right one.
  const pid_t left = launch();
  ASSERT_TRUE(waitForClasses({"oculant", "oculant1"}));
  const pid_t right = launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  shown = windows();
  EXPECT_EQ(shown["oculant1"].pid, left);
  EXPECT_EQ(shown["oculant2"].pid, right);
  EXPECT_EQ(shown["oculant2"].title, "Camera 2 Right 820,260 320x240");

  // Closing the scene ends all three with 0.
  closeWindow(shown["oculant"].id);
  for (const auto& entry : shown) EXPECT_EQ(waitExit(entry.second.pid), 0) << entry.first;
}

}  // namespace
