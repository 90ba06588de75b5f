// A scene window made in the test process with the main window procedure, driven by real X
// input (xdotool) and pumped as the main loop does: here the info log, the input flags and the
// overview parameters the input changed can be read directly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/lifecycle.h"
#include "app/window_proc.h"
#include "panel/info_log.h"
#include "platform/platform.h"
#include "scene/input_state.h"
#include "scene/scene_state.h"
#include "test_bench.h"
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

std::vector<MSG> seen;

// One pass of the main loop's message handling.
void pump() {
  MSG msg;
  if (!peekMessage(&msg)) {
    usleep(1000);
  } else if (msg.message != WM_QUIT) {
    seen.push_back(msg);
    dispatchMessage(msg);
  }
}

// Runs xdotool, then pumps until the window has handled a message that satisfies wanted.
bool input(const std::vector<std::string>& arguments,
           const std::function<bool(const MSG&)>& wanted) {
  size_t checked = seen.size();
  return xdotool(arguments) && waitUntil(
                                   [&] {
                                     for (; checked < seen.size(); ++checked) {
                                       if (wanted(seen[checked])) return true;
                                     }
                                     return false;
                                   },
                                   pump);
}

bool pannedFrom(const OverviewView& start) {
  return overviewView.panX != start.panX || overviewView.panY != start.panY;
}

TEST(SceneWindowInput, TheTypicalEventLogsThreeLinesOnlyAPlainDragPansAndTheWheelZooms) {
  PrivateRuntimeDir dir;
  setenv("OCULANT_HEADLESS", "1", 1);
  std::ofstream(dir.path() + "/config.txt")
      << "ALL=1\nOBJECT1=1\nOBJECT1_WIDTH=2\nOBJECT1_HEIGHT=2\n";
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  // The pointer waits off the window, so the window sees no position before the test moves in.
  ASSERT_TRUE(xdotool({"mousemove", "1200", "1000"}));
  ASSERT_TRUE(registerWindowClass("oculant", mainWindowProc));
  setenv(kCopyMark, "1", 1);
  role = ROLE_SCENE;
  mainWindow = createWindow("oculant", "Oculant", 0, 0, 800, 600);
  showWindow(mainWindow);
  ASSERT_TRUE(focusWindowOfClass("oculant", pump));
  rigPose = RigPose{0.7, 0.7, 90.0};
  clearInfoLog();

  // Into the window without Shift: only the position is recorded. The second move marks the
  // point up to which every message of the first has been handled.
  ASSERT_TRUE(input({"mousemove", "400", "300"}, [](const MSG& m) { return isMove(m, 400, 300); }));
  ASSERT_TRUE(input({"mousemove", "401", "300"}, [](const MSG& m) { return isMove(m, 401, 300); }));
  EXPECT_STREQ(infoLog, "");
  ASSERT_TRUE(input({"keydown", "shift", "mousemove", "381", "300", "keyup", "shift"},
                    [](const MSG& m) { return m.message == WM_KEYUP; }));
  EXPECT_EQ(rigPose.heading, 100.0);
  EXPECT_STREQ(infoLog, "X=0.700\r\nY=0.700\r\n\xC3\xF0\xE0\xE4\xF3\xF1=100.000\r\n");

  const OverviewView start = overviewView;
  ASSERT_TRUE(input({"keydown", "ctrl", "mousedown", "1", "mousemove", "450", "350", "mouseup", "1",
                     "keyup", "ctrl"},
                    [](const MSG& m) { return m.message == WM_KEYUP && m.wParam == VK_CONTROL; }));
  bool ctrlDragSeen = false;
  for (const MSG& m : seen) {
    if (isMove(m, 450, 350)) ctrlDragSeen = m.wParam == (MK_LBUTTON | MK_CONTROL);
  }
  EXPECT_TRUE(ctrlDragSeen) << "the drag did not carry MK_LBUTTON | MK_CONTROL";
  EXPECT_FALSE(pannedFrom(start)) << "a Ctrl-drag moved the overview";
  ASSERT_TRUE(input({"mousedown", "1", "mousemove", "400", "300", "mouseup", "1"},
                    [](const MSG& m) { return m.message == WM_LBUTTONUP; }));
  EXPECT_TRUE(pannedFrom(start)) << "a plain drag did not pan";

  // One notch of the wheel away from the user (button 5) is a delta of -120: two zoom steps in.
  const double distance = overviewView.distance;
  ASSERT_TRUE(input({"click", "5"}, [](const MSG& m) { return m.message == WM_MOUSEWHEEL; }));
  EXPECT_EQ(overviewView.distance, distance - 2 * overviewView.zoomStep);
  destroyWindow(mainWindow);
  ASSERT_EQ(chdir("/"), 0);
}

}  // namespace
