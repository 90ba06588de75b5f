// Processes decide their roles through the instance semaphore: never two with the same role when
// started together, exactly one refused, and a start after a killed instance takes its role.
#include "platform/instance_semaphore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "app/role_decision.h"
#include "app/role_table.h"
#include "platform/transport.h"
#include "scene/scene_state.h"
#include "test_bench.h"

namespace {

constexpr int32_t kRefused = -2;
constexpr int32_t kExplained = -3;
bool refusedHere = false;
bool explainedHere = false;
void recordRefusal(const char*) {
  refusedHere = true;
}
void recordExplanation(const char*) {
  explainedHere = true;
}

// One process of the bench minus the window: after the go signal it decides its role, listens
// under its class as its window would, reports the role and holds it until the test ends.
[[noreturn]] void runInstance(int goFd, int reportFd, int holdFd) {
  char byte;
  while (read(goFd, &byte, 1) > 0) {
  }
  const RoleServices services = {beginRoleDecision,        endRoleDecision,
                                 openInstanceSemaphore,    createInstanceSemaphore,
                                 releaseInstanceSemaphore, waitInstanceSemaphore,
                                 transportFindClass,       recordRefusal,
                                 recordExplanation};
  int32_t result = -1;
  const RoleOutcome outcome = decideRole(services);
  if (outcome == RoleOutcome::TAKEN) {
    result = role;
    transportListen(allocateWindowHandle(), roleWindowOf(role).className);
  } else if (outcome == RoleOutcome::REFUSED && refusedHere) {
    result = kRefused;
  } else if (outcome == RoleOutcome::ENDS_QUIETLY && explainedHere) {
    result = kExplained;
  }
  if (write(reportFd, &result, sizeof result) != sizeof result) _exit(1);
  while (read(holdFd, &byte, 1) > 0) {
  }
  _exit(0);
}

TEST(InstanceSemaphore, ProcessesStartedTogetherNeverShareARole) {
  for (int round = 0; round < 5; ++round) {
    PrivateRuntimeDir runtime;
    int go[2], report[2], hold[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(hold), 0);
    std::vector<pid_t> pids;
    for (int i = 0; i < 4; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        close(go[1]);
        close(hold[1]);
        runInstance(go[0], report[1], hold[0]);
      }
      pids.push_back(pid);
    }
    close(go[0]);
    close(go[1]);  // all four go at once
    std::vector<int32_t> results(4);
    for (int32_t& result : results)
      ASSERT_EQ(read(report[0], &result, sizeof result), ssize_t(sizeof result));
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results,
              (std::vector<int32_t>{kRefused, ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}))
        << "round " << round;
    for (int fd : {report[0], report[1], hold[0], hold[1]}) close(fd);
    for (pid_t pid : pids) waitpid(pid, nullptr, 0);
  }
}

struct Started {
  pid_t pid;
  int32_t result;
};

// One instance that decides at once and holds its role until hold's write end is closed.
Started startInstance(const int hold[2]) {
  int go[2], report[2];
  if (pipe(go) != 0 || pipe(report) != 0) return {-1, -1};
  const pid_t pid = fork();
  if (pid == 0) {
    close(go[1]);
    close(hold[1]);
    runInstance(go[0], report[1], hold[0]);
  }
  close(go[0]);
  close(go[1]);
  close(report[1]);
  int32_t result = -1;
  if (read(report[0], &result, sizeof result) != ssize_t(sizeof result)) result = -1;
  close(report[0]);
  return {pid, result};
}

void killInstance(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// A killed instance's unit comes back, so the count names a role that still runs; the start
// must take the role that is missing, scene first, and is refused when none is. An end without
// a box says why.
TEST(InstanceSemaphore, AStartAfterAKilledInstanceTakesTheMissingRole) {
  PrivateRuntimeDir runtime;
  int hold[2];
  ASSERT_EQ(pipe(hold), 0);
  const HWND uncounted = allocateWindowHandle();
  ASSERT_TRUE(transportListen(uncounted, "oculant"));
  const Started beside = startInstance(hold);
  EXPECT_EQ(beside.result, kExplained);
  transportClose(uncounted);

  const Started scene = startInstance(hold);
  const Started left = startInstance(hold);
  const Started right = startInstance(hold);
  ASSERT_EQ(scene.result, ROLE_SCENE);
  ASSERT_EQ(left.result, ROLE_LEFT_CAMERA);
  ASSERT_EQ(right.result, ROLE_RIGHT_CAMERA);

  killInstance(left.pid);
  const Started newLeft = startInstance(hold);
  EXPECT_EQ(newLeft.result, ROLE_LEFT_CAMERA);
  killInstance(scene.pid);
  const Started newScene = startInstance(hold);
  EXPECT_EQ(newScene.result, ROLE_SCENE);
  const Started fourth = startInstance(hold);
  EXPECT_EQ(fourth.result, kRefused);

  // Every window is there although only two instances are counted.
  killInstance(right.pid);
  const HWND stray = allocateWindowHandle();
  ASSERT_TRUE(transportListen(stray, "oculant2"));
  const Started surplus = startInstance(hold);
  EXPECT_EQ(surplus.result, kRefused);

  transportClose(stray);
  close(hold[0]);
  close(hold[1]);
  for (pid_t pid : {beside.pid, newLeft.pid, newScene.pid, fourth.pid, surplus.pid}) {
    waitpid(pid, nullptr, 0);
  }
}

TEST(InstanceSemaphore, AStartStoppedMidDecisionHoldsLaterStartsOnlyForAWhile) {
  PrivateRuntimeDir dir;
  const pid_t stopped = spawnPeer([] {
    beginRoleDecision();
    raise(SIGSTOP);
    return 0;
  });
  int status = 0;
  ASSERT_EQ(waitpid(stopped, &status, WUNTRACED), stopped);
  alarm(30);  // a wait without a bound fails the test instead of hanging it
  beginRoleDecision();
  endRoleDecision();
  alarm(0);
  reapPeer(stopped);
}

}  // namespace
