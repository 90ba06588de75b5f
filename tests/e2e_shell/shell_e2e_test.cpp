// The real executable under Xvfb: three windows with their titles, classes and places, starts by
// hand, and exit code 0 for every process whose window is closed, or that Ctrl+C or SIGTERM
// ends. Without an X server: started with no display in its environment it runs on SDL's
// offscreen driver, says nothing on stderr, serves frames and ends on quit; started where there
// is no scene, it says so once.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "x_input.h"
// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

struct BenchWindow {
  Window id;
  std::string title;  // with the place and size: "Oculant 0,0 800x600"
  pid_t pid;
};

class ShellE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench.ok());
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (run under tests/with_xvfb)";
  }
  void TearDown() override {
    if (display) XCloseDisplay(display);
  }

  // The mapped top-level windows of the bench, by class (Xvfb has no window manager, so the
  // client area is the whole outer size).
  std::map<std::string, BenchWindow> windows() {
    std::map<std::string, BenchWindow> found;
    Window root, parent, *children = nullptr, child;
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
      XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
      char title[512];
      std::snprintf(title, sizeof title, "%s %d,%d %dx%d", name ? name : "", x, y, a.width,
                    a.height);
      found[className] = {children[i], title, 0};
      XFree(name);
      Atom type;
      int format = 0;
      unsigned long items = 0, after;
      unsigned char* data = nullptr;
      XGetWindowProperty(display, children[i], XInternAtom(display, "_NET_WM_PID", False), 0, 1,
                         False, XA_CARDINAL, &type, &format, &items, &after, &data);
      if (data && items == 1) found[className].pid = pid_t(*reinterpret_cast<long*>(data));
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

  BenchFolder bench{
      "ALL=1\nOBJECT1=1\nOBJECT1_Y=3\nOBJECT1_WIDTH=2\nOBJECT1_HEIGHT=2\nOBJECT1_R=1\n"};
  Display* display = nullptr;
};

const std::set<std::string> kWholeBench = {"oculant", "oculant1", "oculant2"};

TEST_F(ShellE2eTest, WindowsStartsByHandAndExitCodesOfTheCloseButton) {
  const pid_t scene = bench.launch();
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
  const pid_t left = bench.launch();
  ASSERT_TRUE(waitForClasses({"oculant", "oculant1"}));
  const pid_t right = bench.launch();
  ASSERT_TRUE(waitForClasses(kWholeBench));
  shown = windows();
  EXPECT_EQ(shown["oculant1"].pid, left);
  EXPECT_EQ(shown["oculant2"].pid, right);
  EXPECT_EQ(shown["oculant2"].title, "Camera 2 Right 820,260 320x240");

  // Closing the scene ends all three with 0.
  closeWindow(shown["oculant"].id);
  for (const auto& entry : shown) EXPECT_EQ(waitExit(entry.second.pid), 0) << entry.first;
}

struct BenchRun {
  std::string folder;
  oculant::Frame left, right;
  std::string errors;
  int exitCode = -1;
};

// Starts the bench in a fresh folder on the demo scene (or with `noScene` none), fetches the pair
// once both cameras answer, and ends it with quit. The display variables in force are the
// caller's.
BenchRun runBench(bool noScene = false) {
  BenchRun run;
  BenchFolder bench(noScene ? "" : nullptr);
  run.folder = bench.path();
  if (!bench.ok() || (noScene && unlink((run.folder + "/config.txt").c_str()) != 0)) return run;
  StderrText errors;
  const pid_t scene = bench.launch(&errors);
  oculant::Client client;
  client.setTimeout(5);
  waitUntil([&] { return client.grabPair(&run.left, &run.right); }, [] { usleep(100000); }, 30);
  client.quit();
  run.exitCode = waitExit(scene);
  run.errors = errors.untilClosed();
  return run;
}

// That it draws the very frames a bench under X draws is the rig end-to-end test's (both modes).
TEST(Headless, ServesQuietlyAndEndsOnQuit) {
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const BenchRun headless = runBench();
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(headless.exitCode, 0);
  EXPECT_EQ(headless.errors, "");
  EXPECT_EQ(headless.left.width, 320);
  EXPECT_EQ(headless.right.height, 240);

  // A folder without a scene: still a bench, with an empty scene, and one line that says why.
  const BenchRun empty = runBench(true);
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.errors, "oculant: no config.txt in " + empty.folder + ": the scene is empty\n");
}

// The names the bench's windows listen under in its runtime folder.
std::vector<std::string> windowNames(const std::string& runtimeDir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(runtimeDir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("class.", 0) == 0 || name.rfind("window.", 0) == 0) names.push_back(name);
  }
  return names;
}

// Ctrl+C in a terminal signals all three processes; SIGTERM may reach the scene alone. Either
// way the bench ends as when its overview is closed: all three, with status 0, names removed.
TEST(Signals, CtrlCAndSigtermEndTheWholeBenchAndRemoveItsNames) {
  for (const bool wholeGroup : {true, false}) {
    BenchFolder bench;
    ASSERT_TRUE(bench.ok());
    bench.launch();
    std::map<std::string, pid_t> pids;
    for (const std::string& className : kWholeBench) {
      ASSERT_TRUE(waitForClass(className.c_str())) << className;
      pids[className] = pidOfWindow(className.c_str());
    }
    ASSERT_EQ(windowNames(bench.runtimeDir()).size(), 6u);
    for (const auto& [className, pid] : pids)
      if (wholeGroup || className == "oculant") kill(pid, wholeGroup ? SIGINT : SIGTERM);
    for (const auto& [className, pid] : pids) {
      EXPECT_EQ(waitExit(pid), 0) << className << (wholeGroup ? " after SIGINT" : " after SIGTERM");
    }
    EXPECT_EQ(windowNames(bench.runtimeDir()), std::vector<std::string>{})
        << (wholeGroup ? "SIGINT" : "SIGTERM");
  }
}

}  // namespace
