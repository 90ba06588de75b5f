// Driving the rig with real X input on the real bench. The test listens as the left camera
// before the bench starts (the bench's own left camera then finds its role taken and ends; its
// right camera runs), so it receives what the scene sends the cameras and when it arrives.
#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "magick.h"
#include "platform/posix/transport.h"
#include "real_bench.h"
#include "wire/wire_format.h"
#include "x_input.h"

namespace {

// Object 3 is a textured lattice of 1200 boards around the scene: while F1 shows it in the
// overview, every pass of the scene draws it and takes several times as long.
const char kSceneWithHeavyObject3[] =
    "ALL=3\n"
    "OBJECT1=1\nOBJECT1_X=-2\nOBJECT1_Y=1.5\nOBJECT1_WIDTH=6\nOBJECT1_HEIGHT=3\n"
    "OBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n"
    "OBJECT3=2\nOBJECT3_X=-150\nOBJECT3_Y=-150\nOBJECT3_WIDTH=300\nOBJECT3_HEIGHT=300\n"
    "OBJECT3_TEXTURE=ON\nOBJECT3_FILE=wall.bmp\n";

struct Arrival {
  uintptr_t code;
  double values[2];
  double atSeconds;  // CLOCK_MONOTONIC when the message arrived
};
std::vector<Arrival> arrivals;

LRESULT record(void*, HWND, HWND, const COPYDATASTRUCT& data) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  Arrival arrival = {data.dwData, {0, 0}, now.tv_sec + now.tv_nsec / 1e9};
  if (data.lpData && data.cbData <= sizeof arrival.values)
    std::memcpy(arrival.values, data.lpData, data.cbData);
  arrivals.push_back(arrival);
  return 0;
}

// Answers the scene at once: the time it waits for an answer inside a drive step is not
// counted as elapsed, so a late answer would slow the rig down, never speed it up.
void serve() {
  pollfd wake = {transportWakeFd(), POLLIN, 0};
  poll(&wake, 1, 1);
  transportServeWaiting(record);
}

// The arrivals with the code from index first on.
std::vector<Arrival> received(uintptr_t code, size_t first = 0) {
  std::vector<Arrival> found;
  for (size_t i = first; i < arrivals.size(); ++i)
    if (arrivals[i].code == code) found.push_back(arrivals[i]);
  return found;
}

// The codes that arrived from index first on, for failure messages.
std::string codesSince(size_t first) {
  std::string codes;
  for (size_t i = first; i < arrivals.size(); ++i) codes += std::to_string(arrivals[i].code) + " ";
  return codes;
}

// How far the rig drove along +y in what arrived from index first on. Counted in distance, not
// in messages: a camera that answers late is skipped and later given the whole pose at once.
double travelled(size_t first) {
  const std::vector<Arrival> steps = received(MSG_RIG_XY, first);
  return steps.size() < 2 ? 0.0 : steps.back().values[1] - steps.front().values[1];
}

// Units per second along +y: the least-squares slope of y over arrival time.
double driveSpeed(const std::vector<Arrival>& steps) {
  double meanT = 0, meanY = 0, covariance = 0, variance = 0;
  for (const Arrival& s : steps)
    meanT += s.atSeconds / steps.size(), meanY += s.values[1] / steps.size();
  for (const Arrival& s : steps) {
    covariance += (s.atSeconds - meanT) * (s.values[1] - meanY);
    variance += (s.atSeconds - meanT) * (s.atSeconds - meanT);
  }
  return covariance / variance;
}

TEST(DriveTest, ShiftAndLeftButtonDriveFiveUnitsPerSecondAndNeitherAReleaseOutsideNorAltStopsIt) {
  BenchFolder bench(kSceneWithHeavyObject3);
  ASSERT_TRUE(bench.ok());
  // A red and yellow checkerboard: every turn of the view shows.
  BmpLayout wall = makeLayout(40, true, 8, 8, 24);
  wall.pixels =
      packRows(8, 8, 24, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0xFFFF00u; });
  writeFile(bench.path() + "/wall.bmp", buildBmp(wall));
  const HWND camera = allocateWindowHandle();
  ASSERT_TRUE(transportListen(camera, "oculant1"));
  bench.launch();
  ASSERT_TRUE(waitUntil([] { return transportFindClass("oculant") != 0; }, serve));
  // The bench's right camera takes the keyboard focus when its window maps, which on a loaded
  // machine can be seconds after the scene's: the scene gets the focus once it is there.
  ASSERT_TRUE(xdotool({"search", "--sync", "--onlyvisible", "--classname", "^oculant2$"}, serve));
  ASSERT_TRUE(focusWindowOfClass("oculant", serve));
  // A camera that was there before the scene started is taken over: the scene gives it its
  // pose before anything else.
  ASSERT_TRUE(waitUntil([&] { return !received(MSG_HEADING).empty(); }, serve));
  EXPECT_EQ(received(MSG_RIG_XY).at(0).values[1], 0.7);
  arrivals.clear();

  // Slow passes, with the heavy object shown: steps often share a pass.
  ASSERT_TRUE(xdotool(
      {"key", "F1", "mousemove", "400", "300", "keydown", "shift", "mousedown", "1"}, serve));
  ASSERT_TRUE(waitUntil([&] { return travelled(0) >= 6.0; }, serve))
      << "arrived: " << codesSince(0);
  // Five units a second. The bounds are wide on purpose: a loaded machine delays arrivals, and
  // only a fault in the loop's time accounting (steps lost or counted twice) leaves them.
  const double speed = driveSpeed(received(MSG_RIG_XY));
  EXPECT_GT(speed, 2.5);
  EXPECT_LT(speed, 10.0);

  // The button goes up outside the window, then the pointer comes back: with Shift held that
  // move turns the rig by 0 degrees, and its MSG_HEADING marks the point from which the
  // release is known to have been handled. The rig must go on driving after it.
  const size_t beforeRelease = arrivals.size();
  ASSERT_TRUE(
      xdotool({"mousemove", "1000", "800", "mouseup", "1", "mousemove", "400", "300"}, serve));
  ASSERT_TRUE(waitUntil([&] { return !received(MSG_HEADING, beforeRelease).empty(); }, serve));
  size_t afterRelease = beforeRelease;
  while (arrivals[afterRelease].code != MSG_HEADING) ++afterRelease;
  EXPECT_EQ(arrivals[afterRelease].values[0], 90.0);
  EXPECT_TRUE(waitUntil([&] { return travelled(afterRelease) >= 1.5; }, serve))
      << "the rig stopped when the button was released outside the window";

  // Every step 0.05 along +y from (0.7, 0.7). A step this camera was too slow to take comes
  // back in the whole pose the scene gives it afterwards, so positions are never out of order.
  const std::vector<Arrival> steps = received(MSG_RIG_XY);
  double lastY = 0.7;
  for (size_t i = 0; i < steps.size(); ++i) {
    const double stepsFromStart = (steps[i].values[1] - 0.7) / 0.05;
    EXPECT_NEAR(steps[i].values[0], 0.7, 1e-9) << "step " << i;
    EXPECT_NEAR(stepsFromStart, std::round(stepsFromStart), 1e-6) << "step " << i;
    EXPECT_GE(steps[i].values[1], lastY) << "step " << i;
    lastY = steps[i].values[1];
  }

  // A tap of Alt is a system key, which the window leaves alone: Shift stays held. Then F2 held:
  // every auto-repeated key-down asks the cameras to save, and the first save marks the point
  // from which the tap is known to have been handled. The rig must go on driving after it.
  const size_t beforeF2 = arrivals.size();
  ASSERT_TRUE(xdotool({"key", "alt", "keydown", "F2"}, serve));
  ASSERT_TRUE(waitUntil([&] { return received(MSG_SAVE_FRAME, beforeF2).size() >= 3; }, serve))
      << "arrived after the Alt tap: " << codesSince(beforeF2);
  size_t afterAltTap = beforeF2;
  while (arrivals[afterAltTap].code != MSG_SAVE_FRAME) ++afterAltTap;
  EXPECT_TRUE(waitUntil([&] { return travelled(afterAltTap) >= 1.5; }, serve))
      << "an Alt tap stopped the drive";
  ASSERT_TRUE(xdotool({"keyup", "F2", "keyup", "shift", "mouseup", "1"}, serve));
  transportClose(camera);
}

}  // namespace
