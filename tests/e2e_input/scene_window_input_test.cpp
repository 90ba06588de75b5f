// A scene window made in the test process with the main window procedure, driven by real X
// input (xdotool) and pumped as the main loop does: here the info log, the input flags and the
// overview parameters the input changed can be read directly.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/input_state.h"
#include "app/lifecycle.h"
#include "app/window_proc.h"
#include "panel/info_log.h"
#include "platform/window.h"
#include "scene/scene_state.h"
#include "x_input.h"

namespace {

// The scene window starts two camera instances by running this program again; those copies
// find this mark in their environment and end at once.
constexpr char kCopyMark[] = "OCULANT_SCENE_INPUT_TEST_COPY";
[[maybe_unused]] const bool copyEnded = [] {
  if (getenv(kCopyMark)) _exit(0);
  return false;
}();

bool isMove(const MSG& msg, int x, int y) {
  return msg.message == WM_MOUSEMOVE && GET_X_LPARAM(msg.lParam) == x &&
         GET_Y_LPARAM(msg.lParam) == y;
}

bool sameView(const OverviewView& a, const OverviewView& b) {
  return a.distance == b.distance && a.panX == b.panX && a.panY == b.panY && a.tilt == b.tilt &&
         a.spin == b.spin;
}

class SceneWindowInputTest : public ::testing::Test {
 protected:
  // One window for the group, as a window class is registered once per process.
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/oculant-scene-input-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    setenv("OCULANT_RUNTIME_DIR", (folder + "/run").c_str(), 1);
    setenv("OCULANT_HEADLESS", "1", 1);
    std::ofstream(folder + "/config.txt")
        << "ALL=1\nOBJECT1=1\nOBJECT1_WIDTH=2\nOBJECT1_HEIGHT=2\n";
    ASSERT_EQ(chdir(folder.c_str()), 0);
    // The pointer waits off the window, so the window sees no position before the tests move
    // into it.
    ASSERT_TRUE(xdotool({"mousemove", "1200", "1000"}));
    ASSERT_TRUE(registerWindowClass("oculant", mainWindowProc));
    setenv(kCopyMark, "1", 1);
    role = ROLE_SCENE;
    mainWindow = createWindow("oculant", "Oculant", 0, 0, 800, 600);
    ASSERT_NE(mainWindow, 0u);
    showWindow(mainWindow);
    ASSERT_TRUE(focusWindowOfClass("oculant", pump));
  }
  static void TearDownTestSuite() {
    if (mainWindow != 0) destroyWindow(mainWindow);
    ASSERT_EQ(chdir("/"), 0);
    std::system(("rm -rf '" + folder + "'").c_str());
  }
  void SetUp() override { seen.clear(); }

  // One pass of the main loop's message handling.
  static void pump() {
    MSG msg;
    if (!peekMessage(&msg)) {
      usleep(1000);
      return;
    }
    if (msg.message == WM_QUIT) return;
    seen.push_back(msg);
    dispatchMessage(msg);
  }

  // Pumps until a message that satisfies wanted has been handled.
  static bool pumpUntil(const std::function<bool(const MSG&)>& wanted) {
    size_t checked = seen.size();
    return waitUntil(
        [&] {
          for (; checked < seen.size(); ++checked) {
            if (wanted(seen[checked])) return true;
          }
          return false;
        },
        pump);
  }

  // Runs xdotool, then pumps until the window has handled a message that satisfies wanted.
  static bool input(const std::vector<std::string>& arguments,
                    const std::function<bool(const MSG&)>& wanted) {
    return xdotool(arguments) && pumpUntil(wanted);
  }

  static std::string folder;
  static std::vector<MSG> seen;
};

std::string SceneWindowInputTest::folder;
std::vector<MSG> SceneWindowInputTest::seen;

TEST_F(SceneWindowInputTest, TheTypicalEventTurnsTheRigAndLogsThreeLinesNewestFirst) {
  rigPose = RigPose{0.7, 0.7, 90.0};
  clearInfoLog();
  // Into the window without Shift: only the position is recorded. The second move marks the
  // point up to which every message of the first has been handled.
  ASSERT_TRUE(input({"mousemove", "400", "300"}, [](const MSG& m) { return isMove(m, 400, 300); }));
  ASSERT_TRUE(input({"mousemove", "401", "300"}, [](const MSG& m) { return isMove(m, 401, 300); }));
  EXPECT_EQ(rigPose.heading, 90.0);
  EXPECT_STREQ(infoLog, "");

  ASSERT_TRUE(input({"keydown", "shift", "mousemove", "381", "300"},
                    [](const MSG& m) { return isMove(m, 381, 300); }));
  EXPECT_TRUE(inputState.shiftHeld);
  EXPECT_EQ(rigPose.heading, 100.0);
  EXPECT_STREQ(infoLog,
               "X=0.700\r\n"
               "Y=0.700\r\n"
               "\xC3\xF0\xE0\xE4\xF3\xF1=100.000\r\n");

  ASSERT_TRUE(input({"keyup", "shift"}, [](const MSG& m) { return m.message == WM_KEYUP; }));
  EXPECT_FALSE(inputState.shiftHeld);
}

TEST_F(SceneWindowInputTest, ADragPansButACtrlDragDoesNot) {
  ASSERT_TRUE(input({"mousemove", "400", "300"}, [](const MSG& m) { return isMove(m, 400, 300); }));
  const OverviewView start = overviewView;

  ASSERT_TRUE(input({"keydown", "ctrl", "mousedown", "1", "mousemove", "450", "350", "mouseup", "1",
                     "keyup", "ctrl"},
                    [](const MSG& m) { return m.message == WM_KEYUP && m.wParam == VK_CONTROL; }));
  bool ctrlDragSeen = false;
  for (const MSG& m : seen) {
    if (isMove(m, 450, 350)) ctrlDragSeen = m.wParam == (MK_LBUTTON | MK_CONTROL);
  }
  EXPECT_TRUE(ctrlDragSeen) << "the drag did not carry MK_LBUTTON | MK_CONTROL";
  EXPECT_TRUE(sameView(overviewView, start)) << "a Ctrl-drag moved the overview";

  ASSERT_TRUE(input({"mousedown", "1", "mousemove", "400", "300", "mouseup", "1"},
                    [](const MSG& m) { return m.message == WM_LBUTTONUP; }));
  EXPECT_FALSE(sameView(overviewView, start)) << "a plain drag did not pan";
}

}  // namespace
