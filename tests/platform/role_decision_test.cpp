// The role decision on the null platform: the count and the windows already there decide the
// role, scene first when an instance was killed.
#include "app/role_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/role_table.h"
#include "platform/null/null_platform.h"
#include "scene/scene_state.h"

namespace {

TEST(RoleDecision, TheCountAndTheWindowsThereDecide) {
  const InstanceRole S = ROLE_SCENE, L = ROLE_LEFT_CAMERA, R = ROLE_RIGHT_CAMERA;
  const struct {
    const char* what;
    int32_t count;  // the semaphore's count before the start; -1: no semaphore yet
    std::vector<InstanceRole> windows;
    RoleOutcome outcome;
    InstanceRole role;  // when taken
    int32_t countAfter;
  } cases[] = {
      {"the first start", -1, {}, RoleOutcome::TAKEN, S, kSemaphoreInitialCount},
      {"beside a scene without semaphore", -1, {S}, RoleOutcome::ENDS_QUIETLY, S, -1},
      {"the second start", 1, {S}, RoleOutcome::TAKEN, L, 2},
      {"the third start", 2, {S, L}, RoleOutcome::TAKEN, R, 3},
      {"a fourth start", 3, {}, RoleOutcome::REFUSED, S, 3},
      // A killed instance's unit came back, so the count names a role whose window still runs.
      {"the scene killed", 1, {L}, RoleOutcome::TAKEN, S, 2},
      {"the left camera killed", 2, {S, R}, RoleOutcome::TAKEN, L, 3},
      {"every window there, the count short", 2, {S, L, R}, RoleOutcome::REFUSED, S, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    nullReset();
    if (c.count >= 0) nullMakeSemaphoreElsewhere(c.count, kSemaphoreMaximumCount);
    for (InstanceRole window : c.windows) nullAddPeer(roleWindowOf(window).className);
    InstanceRole role = ROLE_SCENE;
    EXPECT_EQ(determineRole(&role), c.outcome);
    if (c.outcome == RoleOutcome::TAKEN) {
      EXPECT_EQ(role, c.role);
    }
    EXPECT_EQ(instanceSemaphoreCount(), c.countAfter);
    EXPECT_FALSE(nullRoleDecisionHeld());
    const auto& boxes = nullMessageBoxes();
    ASSERT_EQ(boxes.size(), c.outcome == RoleOutcome::REFUSED ? 1u : 0u);
    if (boxes.empty()) continue;
    EXPECT_EQ(boxes[0].text, "Too many program!");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::ERROR_ICON);
  }
}

}  // namespace
