// The instance semaphore and the role decision across real processes: numbering, refusal,
// duplicates, units that come back when a process is killed, and simultaneous starts.
#include "platform/instance_semaphore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/role_decision.h"
#include "app/role_table.h"
#include "platform/transport.h"
#include "scene/scene_state.h"

namespace {

constexpr int32_t kRefused = -2;
constexpr int32_t kEndedSilently = -1;

bool refusedHere = false;
void recordRefusal(const char*) {
  refusedHere = true;
}

// One process of the bench, minus the window: it decides its role, listens under its class
// as its window would, reports the role and holds everything until told to go.
struct Instance {
  pid_t pid = -1;
  int32_t result = kEndedSilently;
  int holdFd = -1;  // closing it lets the instance end normally
};

[[noreturn]] void runInstance(int goFd, int reportFd, int holdFd) {
  if (goFd >= 0) {
    char byte;
    while (read(goFd, &byte, 1) > 0) {
    }
  }
  const RoleServices services = {beginRoleDecision,        endRoleDecision,
                                 openInstanceSemaphore,    createInstanceSemaphore,
                                 releaseInstanceSemaphore, waitInstanceSemaphore,
                                 transportFindClass,       recordRefusal};
  int32_t result = kEndedSilently;
  if (decideRole(services)) {
    result = role;
    transportListen(allocateWindowHandle(), roleWindowOf(role).className);
  } else if (refusedHere) {
    result = kRefused;
  }
  if (write(reportFd, &result, sizeof result) != sizeof result) _exit(1);
  if (result < 0) exit(0);
  char byte;
  while (read(holdFd, &byte, 1) > 0) {
  }
  // As the window's destruction does: give the unit back, then end normally.
  waitInstanceSemaphore(1);
  exit(0);
}

class InstanceSemaphoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/oculant-semaphore-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    setenv("OCULANT_RUNTIME_DIR", folder.c_str(), 1);
  }

  void TearDown() override {
    for (Instance& instance : instances) killInstance(instance);
    std::string command = "rm -rf '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  // Starts one instance; with goFd it waits for the go signal (the pipe's closing) first.
  Instance& start(int goFd = -1, bool waitForReport = true, int goWriteFd = -1) {
    int report[2], hold[2];
    EXPECT_EQ(pipe(report), 0);
    EXPECT_EQ(pipe(hold), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(report[0]);
      close(hold[1]);
      // Other instances end when their hold pipe closes: no copy of its writing end may
      // stay open here.
      for (const Instance& other : instances) {
        if (other.holdFd >= 0) close(other.holdFd);
      }
      if (goWriteFd >= 0) close(goWriteFd);
      runInstance(goFd, report[1], hold[0]);
    }
    close(report[1]);
    close(hold[0]);
    instances.push_back(Instance{pid, kEndedSilently, hold[1]});
    reportFds.push_back(report[0]);
    if (waitForReport) collectReport(instances.size() - 1);
    return instances.back();
  }

  void collectReport(size_t index) {
    int32_t result = kEndedSilently;
    ASSERT_EQ(read(reportFds[index], &result, sizeof result), static_cast<ssize_t>(sizeof result));
    close(reportFds[index]);
    instances[index].result = result;
    if (result < 0) reap(instances[index]);
  }

  void reap(Instance& instance) {
    if (instance.pid <= 0) return;
    int status = 0;
    ASSERT_EQ(waitpid(instance.pid, &status, 0), instance.pid);
    instance.pid = -1;
    if (instance.holdFd >= 0) close(instance.holdFd);
    instance.holdFd = -1;
  }

  void killInstance(Instance& instance) {
    if (instance.pid <= 0) return;
    kill(instance.pid, SIGKILL);
    reap(instance);
  }

  void endNormally(Instance& instance) {
    close(instance.holdFd);
    instance.holdFd = -1;
    int status = 0;
    ASSERT_EQ(waitpid(instance.pid, &status, 0), instance.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    instance.pid = -1;
  }

  // Whether a probe can lock the file, as another process would find it.
  bool lockedBySomebody(const std::string& name) {
    int fd = open((folder + "/" + name).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return locked;
  }

  bool semaphoreOpenAnywhere() { return lockedBySomebody("Oculant_Semaphore"); }

  int count() {
    int units = 0;
    for (int slot = 0; slot < 10; ++slot) {
      if (lockedBySomebody("Oculant_Semaphore.unit." + std::to_string(slot))) ++units;
    }
    return units;
  }

  std::string folder;
  std::vector<Instance> instances;
  std::vector<int> reportFds;
};

TEST_F(InstanceSemaphoreTest, StartsAreNumberedRefusedAndCheckedForDuplicates) {
  EXPECT_EQ(start().result, ROLE_SCENE);
  EXPECT_EQ(count(), 1);
  EXPECT_EQ(start().result, ROLE_LEFT_CAMERA);
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(start().result, ROLE_RIGHT_CAMERA);
  EXPECT_EQ(count(), 3);
  EXPECT_EQ(start().result, kRefused);
  EXPECT_EQ(count(), 3);

  // A killed left camera's unit comes back; the next start reads 2, and the right camera's
  // window is still there, so it ends silently.
  killInstance(instances[1]);
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(start().result, kEndedSilently);
  EXPECT_EQ(count(), 2);

  // With the right camera gone too, starts give a left and then a right camera again.
  killInstance(instances[2]);
  EXPECT_EQ(count(), 1);
  EXPECT_EQ(start().result, ROLE_LEFT_CAMERA);
  EXPECT_EQ(start().result, ROLE_RIGHT_CAMERA);
  EXPECT_EQ(count(), 3);

  // Instances that end normally give their units back; with the last one the semaphore is
  // gone, and the next start is a scene again.
  for (size_t i : {6u, 5u, 0u}) endNormally(instances[i]);
  EXPECT_EQ(count(), 0);
  EXPECT_FALSE(semaphoreOpenAnywhere());
  EXPECT_EQ(start().result, ROLE_SCENE);
}

TEST_F(InstanceSemaphoreTest, ProcessesStartedTogetherNeverShareARole) {
  for (int round = 0; round < 5; ++round) {
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    size_t first = instances.size();
    for (int i = 0; i < 4; ++i) start(go[0], false, go[1]);
    close(go[0]);
    close(go[1]);  // all four go at once
    std::vector<int32_t> results;
    for (size_t i = first; i < instances.size(); ++i) {
      collectReport(i);
      results.push_back(instances[i].result);
    }
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results,
              (std::vector<int32_t>{kRefused, ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}))
        << "round " << round;
    EXPECT_EQ(count(), 3);
    for (size_t i = first; i < instances.size(); ++i) killInstance(instances[i]);
  }
}

}  // namespace
