// The POSIX instance semaphore between real processes: never two with the same role when started
// together, exactly one refused, and a start stopped mid-decision holds the others only for a
// while. Starts after a killed instance are left to the fault and shell end-to-end tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "app/role_decision.h"
#include "app/role_table.h"
#include "bounded_child.h"
#include "magick.h"
#include "platform/platform.h"
#include "platform/posix/transport.h"
#include "scene/scene_state.h"
#include "test_bench.h"

namespace {

constexpr int32_t kRefused = -2;
constexpr int32_t kEndedQuietly = -3;

// One process of the bench minus the window: after the go signal it decides its role, listens
// under its class as its window would, reports the role and holds it until hold is closed.
[[noreturn]] void runInstance(int goFd, int reportFd, int holdFd) {
  char byte;
  while (read(goFd, &byte, 1) > 0) {
  }
  setenv("OCULANT_HEADLESS", "1", 1);
  InstanceRole role = ROLE_SCENE;
  const RoleOutcome outcome = determineRole(&role);
  int32_t result = outcome == RoleOutcome::REFUSED        ? kRefused
                   : outcome == RoleOutcome::ENDS_QUIETLY ? kEndedQuietly
                                                          : role;
  if (outcome == RoleOutcome::TAKEN)
    transportListen(allocateWindowHandle(), roleWindowOf(role).className);
  if (write(reportFd, &result, sizeof result) != sizeof result) _exit(1);
  while (read(holdFd, &byte, 1) > 0) {
  }
  _exit(0);
}

TEST(InstanceSemaphore, ProcessesStartedTogetherNeverShareARole) {
  for (int round = 0; round < 5; ++round) {
    PrivateRuntimeDir runtime;
    int go[2], report[2], hold[2];
    ASSERT_TRUE(pipe(go) == 0 && pipe(report) == 0 && pipe(hold) == 0);
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

TEST(InstanceSemaphore, AStartStoppedMidDecisionHoldsLaterStartsOnlyForAWhile) {
  PrivateRuntimeDir dir;
  const pid_t stopped = spawnStopped([] {
    beginRoleDecision();
    return true;
  });
  ASSERT_GT(stopped, 0);
  alarm(30);  // a wait without a bound fails the test instead of hanging it
  beginRoleDecision();
  endRoleDecision();
  alarm(0);
  reapPeer(stopped);
}

TEST(InstanceSemaphore, ItsFilesAreNeverWrittenThroughALinkPlantedAtTheirName) {
  PrivateRuntimeDir dir;
  const std::string victim = dir.path() + "/victim";
  writeFile(victim, {'k', 'e', 'e', 'p'});
  for (const char* name : {"/Oculant_Semaphore", "/Oculant_Semaphore.unit.0"})
    ASSERT_EQ(symlink(victim.c_str(), (dir.path() + name).c_str()), 0);
  // Followed, the links could make two of its locks one file that the start then waits on for
  // ever: the child is held to a time bound.
  const ChildOutcome scene = runBounded([] {
    beginRoleDecision();
    const bool created = createInstanceSemaphore(1, 10);
    endRoleDecision();
    return created && instanceSemaphoreCount() == 1 ? 0 : 1;
  });
  EXPECT_EQ(scene.exitCode, 0) << "the semaphore works all the same";
  EXPECT_EQ(readFile(victim), Bytes({'k', 'e', 'e', 'p'}));
}

}  // namespace
