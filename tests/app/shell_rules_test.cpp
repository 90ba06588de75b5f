// The shell's steps that need no display, on the null platform.
#include "app/shell_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/role_decision.h"
#include "app/role_table.h"
#include "messaging/camera_links.h"
#include "panel/info_log.h"
#include "platform/null/null_platform.h"
#include "wire/wire_format.h"

namespace {

constexpr HWND kWindow = 7;

void startFresh() {
  nullReset();
  clearInfoLog();
}

// The last position message a window got, as "x y"; "" when none.
std::string lastPositionTo(HWND target) {
  std::string found;
  for (const NullSentMessage& m : nullSentMessages()) {
    double xy[2];
    if (m.target != target || m.code != MSG_RIG_XY || m.payload.size() != sizeof xy) continue;
    std::memcpy(xy, m.payload.data(), sizeof xy);
    found = std::to_string(xy[0]) + " " + std::to_string(xy[1]);
  }
  return found;
}

// 0.05 along the heading: 90 degrees is +y, 0 is +x; the new position goes to both cameras and
// the pose to the log.
TEST(ShellRules, ADriveStepMovesAlongTheHeadingAndTellsBothCameras) {
  const struct {
    double heading, x, y;
  } cases[] = {{90, 0.7, 0.75}, {0, 0.75, 0.7}, {180, 0.65, 0.7}, {270, 0.7, 0.65}};
  for (const auto& c : cases) {
    startFresh();
    Instance instance;
    const HWND left = nullAddPeer(kLeftCameraClass);
    const HWND right = nullAddPeer(kRightCameraClass);
    instance.rigPose = {0.7, 0.7, c.heading};
    advanceRig(instance, kWindow);
    const RigPose& pose = instance.rigPose;
    EXPECT_NEAR(pose.rigX, c.x, 1e-12) << c.heading;
    EXPECT_NEAR(pose.rigY, c.y, 1e-12) << c.heading;
    const std::string sent = std::to_string(pose.rigX) + " " + std::to_string(pose.rigY);
    EXPECT_EQ(lastPositionTo(left), sent) << c.heading;
    EXPECT_EQ(lastPositionTo(right), sent) << c.heading;
    EXPECT_NE(std::strstr(infoLog, "0.7"), nullptr) << c.heading << ": " << infoLog;
  }
}

// Only the missing cameras are started: a scene that follows one killed takes its cameras over.
TEST(ShellRules, OnlyMissingCamerasAreStarted) {
  const struct {
    bool left, right;
    int started;
  } cases[] = {{false, false, 2}, {true, false, 1}, {false, true, 1}, {true, true, 0}};
  for (const auto& c : cases) {
    startFresh();
    if (c.left) nullAddPeer(kLeftCameraClass);
    if (c.right) nullAddPeer(kRightCameraClass);
    startCameraInstances();
    EXPECT_EQ(nullProcessesStarted(), c.started) << c.left << c.right;
  }
}

// The end of an instance gives its unit of the semaphore back, tells both cameras to quit and
// ends the loop.
TEST(ShellRules, TheEndGivesTheUnitBackAndTellsTheCameras) {
  startFresh();
  nullMakeSemaphoreElsewhere(1, kSemaphoreMaximumCount);
  nullAddPeer(kSceneClass);
  const HWND left = nullAddPeer(kLeftCameraClass);
  Instance instance;
  ASSERT_EQ(determineRole(&instance.role), RoleOutcome::TAKEN);
  nullRemovePeer(left);  // now this process's own window
  ASSERT_EQ(instanceSemaphoreCount(), 2);
  const HWND right = nullAddPeer(kRightCameraClass);
  onDestroy(instance, kWindow);
  EXPECT_EQ(instanceSemaphoreCount(), 1);
  EXPECT_EQ(instance.destroyedWindow, kWindow);
  ASSERT_EQ(nullSentMessages().size(), 1u);
  EXPECT_EQ(nullSentMessages()[0].target, right);
  EXPECT_EQ(nullSentMessages()[0].code, MSG_QUIT);
  MSG quit = {};
  ASSERT_TRUE(peekMessage(&quit));
  EXPECT_EQ(quit.message, UINT(WM_QUIT));
}

}  // namespace
