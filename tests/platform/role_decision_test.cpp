// The role decision on the null platform: the count and the windows already there decide the
// role, scene first when an instance was killed.
#include "app/role_decision.h"

#include <gtest/gtest.h>

#include "app/role_table.h"
#include "platform/null/null_platform.h"
#include "scene/scene_state.h"

namespace {

const char* classOf(InstanceRole instanceRole) {
  return roleWindowOf(instanceRole).className;
}

class RoleDecision : public ::testing::Test {
 protected:
  void SetUp() override { nullReset(); }
};

TEST_F(RoleDecision, TheFirstStartMakesTheSemaphoreAndTakesTheScene) {
  EXPECT_EQ(determineRole(), RoleOutcome::TAKEN);
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(instanceSemaphoreCount(), kSemaphoreInitialCount);
  EXPECT_FALSE(nullRoleDecisionHeld());
}

TEST_F(RoleDecision, AStartBesideARunningSceneWithoutSemaphoreEndsQuietly) {
  nullAddPeer(classOf(ROLE_SCENE));
  EXPECT_EQ(determineRole(), RoleOutcome::ENDS_QUIETLY);
  EXPECT_TRUE(nullMessageBoxes().empty());
  EXPECT_EQ(instanceSemaphoreCount(), -1) << "no semaphore made";
  EXPECT_FALSE(nullRoleDecisionHeld());
}

TEST_F(RoleDecision, TheCountNamesTheRoleAndTheStartHoldsOneUnit) {
  for (InstanceRole expected : {ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    nullReset();
    nullMakeSemaphoreElsewhere(expected, kSemaphoreMaximumCount);
    EXPECT_EQ(determineRole(), RoleOutcome::TAKEN);
    EXPECT_EQ(role, expected);
    EXPECT_EQ(instanceSemaphoreCount(), expected + 1);
  }
}

TEST_F(RoleDecision, AFourthStartIsRefusedWithABox) {
  nullMakeSemaphoreElsewhere(3, kSemaphoreMaximumCount);
  EXPECT_EQ(determineRole(), RoleOutcome::REFUSED);
  ASSERT_EQ(nullMessageBoxes().size(), 1u);
  EXPECT_EQ(nullMessageBoxes()[0].text, "Too many program!");
  EXPECT_EQ(nullMessageBoxes()[0].caption, "Error");
  EXPECT_EQ(nullMessageBoxes()[0].icon, MessageBoxIcon::ERROR_ICON);
  EXPECT_EQ(instanceSemaphoreCount(), 3);
  EXPECT_FALSE(nullRoleDecisionHeld());
}

// A killed instance's unit came back, so the count names a role whose window still runs.
TEST_F(RoleDecision, AStartAfterAKilledInstanceTakesTheMissingRoleSceneFirst) {
  nullMakeSemaphoreElsewhere(1, kSemaphoreMaximumCount);
  nullAddPeer(classOf(ROLE_LEFT_CAMERA));
  EXPECT_EQ(determineRole(), RoleOutcome::TAKEN);
  EXPECT_EQ(role, ROLE_SCENE);

  nullReset();
  nullMakeSemaphoreElsewhere(2, kSemaphoreMaximumCount);
  nullAddPeer(classOf(ROLE_SCENE));
  nullAddPeer(classOf(ROLE_RIGHT_CAMERA));
  EXPECT_EQ(determineRole(), RoleOutcome::TAKEN);
  EXPECT_EQ(role, ROLE_LEFT_CAMERA);
}

TEST_F(RoleDecision, EveryWindowThereRefusesEvenWhenTheCountIsShort) {
  nullMakeSemaphoreElsewhere(2, kSemaphoreMaximumCount);
  for (InstanceRole r : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) nullAddPeer(classOf(r));
  EXPECT_EQ(determineRole(), RoleOutcome::REFUSED);
  EXPECT_EQ(nullMessageBoxes().size(), 1u);
}

}  // namespace
