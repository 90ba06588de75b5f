// The real bench in scene folders planted with what is no regular file under the names it reads.
// The readers' own tests cover each kind of file; here every instance must still bring its window
// up and answer within seconds, with bounded memory, and name the file it ignored on stderr.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "x_input.h"

namespace {

// Far above what an instance of the bench takes; a reader that keeps /dev/zero as one line
// passes it within seconds.
constexpr long kMemoryBoundKiB = 1L << 20;

// The largest resident memory among a process and those it started, in KiB.
long largestResidentKiB(pid_t pid) {
  long largest = 0;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string field; status >> field;) {
    if (field == "VmRSS:") status >> largest;
  }
  const std::string id = std::to_string(pid);
  std::ifstream children("/proc/" + id + "/task/" + id + "/children");
  for (pid_t child; children >> child;) largest = std::max(largest, largestResidentKiB(child));
  return largest;
}

struct Planted {
  const char* name;                // the file of the demo scene replaced
  const char* target;              // a link to this, or a FIFO when null
  std::vector<std::string> lines;  // what every instance writes on stderr
};

TEST(SceneFolder, WhatIsNoRegularFileIsIgnoredByEveryInstance) {
  adoptOrphans();
  const Planted cases[] = {
      {"config.txt",
       "/dev/zero",
       {"oculant: config.txt is a device, not a regular file: ignored\n"}},
      {"checker.bmp",
       nullptr,
       {"oculant: checker.bmp is a FIFO, not a regular file: ignored\n",
        "Error: Failed to open DIB file checker.bmp.\n"}},
  };
  for (const Planted& planted : cases) {
    SCOPED_TRACE(planted.name);
    PrivateRuntimeDir runtime;
    const std::string folder = runtime.path() + "/scene", path = folder + "/" + planted.name;
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_TRUE(copyDemoScene(folder));
    unlink(path.c_str());
    ASSERT_EQ(planted.target ? symlink(planted.target, path.c_str()) : mkfifo(path.c_str(), 0600),
              0);
    StderrText errors;
    const pid_t scene = launchBench(folder, "", errors.fd());
    long memory = 0;
    const auto upOrTooLarge = [&] {
      memory = std::max(memory, largestResidentKiB(scene));
      return memory >= kMemoryBoundKiB ||
             (pidOfWindow("oculant") > 0 && pidOfWindow("oculant1") > 0 &&
              pidOfWindow("oculant2") > 0);
    };
    const bool up = waitUntil(
        upOrTooLarge, [] { usleep(50000); }, 20);
    ASSERT_LT(memory, kMemoryBoundKiB) << "KiB resident in one instance";
    EXPECT_TRUE(up) << "all three windows within 20 s";
    oculant::Client client;
    client.setTimeout(5);
    oculant::Frame left, right;
    EXPECT_TRUE(client.grabPair(&left, &right)) << client.error();
    EXPECT_EQ(left.width, 320);
    EXPECT_EQ(right.height, 240);
    EXPECT_TRUE(client.sendHeading(45, true)) << client.error();
    for (const std::string& line : planted.lines)
      EXPECT_EQ(errors.waitForLine(line, 3, 10), 3) << errors.text();
    const pid_t cameras[2] = {pidOfWindow("oculant1"), pidOfWindow("oculant2")};
    kill(scene, SIGKILL);
    waitpid(scene, nullptr, 0);
    for (pid_t pid : cameras) {
      if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }
  }
}

}  // namespace
