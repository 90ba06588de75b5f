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

TEST_F(RoleDecisionTest, FirstProcessCreatesTheSemaphoreAndACameraKeepsAUnit) {
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(fake.count, 1);
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"begin", "open", "find oculant", "create 1 10", "end"}));
  fake.calls.clear();
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_LEFT_CAMERA);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"begin", "open", "release", "wait",
                                                  "find oculant1", "release", "end"}));
}

// What a new process finds, and what it decides.
struct Finding {
  const char* what;
  bool semaphoreExists;
  int32_t count;
  std::vector<std::string> windows;
  bool decided;
  InstanceRole role;  // when decided
  int32_t countAfter;
  bool refused;  // "Too many program!"
};

TEST_F(RoleDecisionTest, EachCountGivesItsRoleRefusalOrSilentEnd) {
  const Finding findings[] = {
      {"no semaphore, a scene window", false, 0, {"oculant"}, false, ROLE_SCENE, 0, false},
      {"count 1", true, 1, {}, true, ROLE_LEFT_CAMERA, 2, false},
      {"count 2", true, 2, {}, true, ROLE_RIGHT_CAMERA, 3, false},
      {"count 3", true, 3, {}, false, ROLE_SCENE, 3, true},
      {"count 9", true, 9, {}, false, ROLE_SCENE, 9, true},
      {"a right camera already", true, 2, {"oculant", "oculant2"}, false, ROLE_SCENE, 2, false},
      // The left camera's class is only checked for role 1.
      {"count 1, a right camera", true, 1, {"oculant2"}, true, ROLE_LEFT_CAMERA, 2, false},
      // Count 0 on an existing semaphore takes the scene without looking for its window.
      {"count 0", true, 0, {"oculant"}, true, ROLE_SCENE, 1, false},
  };
  for (const Finding& f : findings) {
    fake = FakeBench();
    fake.semaphoreExists = f.semaphoreExists;
    fake.count = f.count;
    fake.windows = f.windows;
    role = ROLE_RIGHT_CAMERA;
    EXPECT_EQ(decideRole(kFakeServices), f.decided) << f.what;
    if (f.decided) {
      EXPECT_EQ(role, f.role) << f.what;
    }
    EXPECT_EQ(fake.count, f.countAfter) << f.what;
    EXPECT_EQ(fake.errors, f.refused ? std::vector<std::string>{"Too many program!"}
                                     : std::vector<std::string>{})
        << f.what;
    EXPECT_EQ(fake.semaphoreExists, f.semaphoreExists || f.decided) << f.what;
    EXPECT_EQ(fake.lockDepth, 0) << f.what;
  }
}

TEST_F(RoleDecisionTest, AFailedFirstReleaseReadsZeroAndSkipsTheWait) {
  fake.semaphoreExists = true;
  fake.count = 10;  // at the maximum: the release fails
  EXPECT_TRUE(decideRole(kFakeServices));
  EXPECT_EQ(role, ROLE_SCENE);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"begin", "open", "release", "release", "end"}));
}

}  // namespace
