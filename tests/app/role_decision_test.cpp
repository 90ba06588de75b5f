// The role decision on the counts a new process can find, with the semaphore and the window
// lookup stood in for.
#include "app/role_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/scene_state.h"

namespace {

struct FakeBench {
  bool semaphoreExists = false;
  int32_t count = 0;
  int32_t maximum = 10;
  std::vector<std::string> windows;  // class names with a live window
  std::vector<std::string> calls;
  std::vector<std::string> errors;
  int lockDepth = 0;
};

FakeBench* bench = nullptr;

void fakeBegin() {
  bench->calls.push_back("begin");
  ++bench->lockDepth;
}
void fakeEnd() {
  bench->calls.push_back("end");
  --bench->lockDepth;
}
bool fakeOpen() {
  bench->calls.push_back("open");
  return bench->semaphoreExists;
}
bool fakeCreate(int32_t initial, int32_t maximum) {
  bench->calls.push_back("create " + std::to_string(initial) + " " + std::to_string(maximum));
  bench->semaphoreExists = true;
  bench->count = initial;
  bench->maximum = maximum;
  return true;
}
bool fakeRelease(int32_t count, int32_t* previous) {
  bench->calls.push_back("release");
  if (bench->count + count > bench->maximum) return false;
  if (previous) *previous = bench->count;
  bench->count += count;
  return true;
}
bool fakeWait(int) {
  bench->calls.push_back("wait");
  if (bench->count == 0) return false;
  --bench->count;
  return true;
}
HWND fakeFind(const char* className) {
  bench->calls.push_back(std::string("find ") + className);
  for (const std::string& name : bench->windows) {
    if (name == className) return 77;
  }
  return 0;
}
void fakeError(const char* text) {
  bench->errors.push_back(text);
}

const RoleServices kFakeServices = {fakeBegin,   fakeEnd,  fakeOpen, fakeCreate,
                                    fakeRelease, fakeWait, fakeFind, fakeError};

class RoleDecisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bench = &fake;
    role = ROLE_RIGHT_CAMERA;  // a stale value that the decision must overwrite
  }
  void TearDown() override {
    EXPECT_EQ(fake.lockDepth, 0) << "the decision lock must be released on every path";
    bench = nullptr;
  }
  FakeBench fake;
};

TEST_F(RoleDecisionTest, FirstProcessCreatesTheSemaphoreAndTakesTheScene) {
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(fake.count, 1);
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"begin", "open", "find oculant", "create 1 10", "end"}));
}

TEST_F(RoleDecisionTest, NoSemaphoreButASceneWindowEndsSilently) {
  fake.windows = {"oculant"};
  EXPECT_FALSE(decideRole(kFakeServices));
  EXPECT_FALSE(fake.semaphoreExists);
  EXPECT_TRUE(fake.errors.empty());
}

TEST_F(RoleDecisionTest, CountsOneAndTwoGiveTheCamerasAndEachKeepsAUnit) {
  fake.semaphoreExists = true;
  fake.count = 1;
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_LEFT_CAMERA);
  EXPECT_EQ(fake.count, 2);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"begin", "open", "release", "wait",
                                                  "find oculant1", "release", "end"}));
  fake.calls.clear();
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_RIGHT_CAMERA);
  EXPECT_EQ(fake.count, 3);
  EXPECT_TRUE(fake.errors.empty());
}

TEST_F(RoleDecisionTest, ThreeOrMoreAreRefusedWithTheBoxAndTheCountStays) {
  for (int32_t count : {3, 4, 9}) {
    fake = FakeBench();
    fake.semaphoreExists = true;
    fake.count = count;
    EXPECT_FALSE(decideRole(kFakeServices)) << count;
    EXPECT_EQ(fake.count, count);
    ASSERT_EQ(fake.errors.size(), 1u);
    EXPECT_EQ(fake.errors[0], "Too many program!");
  }
}

TEST_F(RoleDecisionTest, ADuplicateCameraEndsSilentlyWithoutTakingAUnit) {
  fake.semaphoreExists = true;
  fake.count = 2;
  fake.windows = {"oculant", "oculant2"};
  EXPECT_FALSE(decideRole(kFakeServices));
  EXPECT_EQ(fake.count, 2);
  EXPECT_TRUE(fake.errors.empty());

  // The left camera's class is only checked for role 1.
  fake.count = 1;
  fake.windows = {"oculant2"};
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_LEFT_CAMERA);
}

TEST_F(RoleDecisionTest, CountZeroOnAnExistingSemaphoreTakesTheSceneWithoutLookingForIt) {
  fake.semaphoreExists = true;
  fake.count = 0;
  fake.windows = {"oculant"};
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(fake.count, 1);
  for (const std::string& call : fake.calls) EXPECT_EQ(call.rfind("find", 0), std::string::npos);
}

TEST_F(RoleDecisionTest, AFailedFirstReleaseReadsZeroAndSkipsTheWait) {
  fake.semaphoreExists = true;
  fake.count = 10;  // at the maximum: the release fails
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"begin", "open", "release", "release", "end"}));
}

}  // namespace
