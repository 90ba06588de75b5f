// The real bench in scene folders planted with what is no regular file under the names it reads:
// config.txt a FIFO or a link to /dev/zero or /dev/urandom, a texture a FIFO. All three windows
// must come up and answer within seconds, with bounded memory, and every instance must name the
// file it ignored on stderr. Every wait is bounded, so a bench that hangs fails the test.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"

namespace {

// Far above what an instance of the bench takes; a reader that keeps /dev/zero as one line
// passes it within seconds.
constexpr long kMemoryBoundKiB = 1L << 20;
constexpr double kStartSeconds = 20;
constexpr double kStderrSeconds = 10;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

class SceneFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adoptOrphans();
    folder_ = runtime_.path() + "/scene";
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
    ASSERT_TRUE(copyDemoScene(folder_));
  }
  void TearDown() override {
    // The cameras become this process's children once the scene has ended.
    const pid_t cameras[2] = {pidOfWindow("oculant1"), pidOfWindow("oculant2")};
    for (pid_t pid : {scene_, cameras[0], cameras[1]}) {
      if (pid <= 0) continue;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (errors_ >= 0) close(errors_);
  }

  // Puts a FIFO or a symbolic link in place of one of the demo's files.
  void plantFifo(const char* name) {
    unlink((folder_ + "/" + name).c_str());
    ASSERT_EQ(mkfifo((folder_ + "/" + name).c_str(), 0600), 0);
  }
  void plantLink(const char* name, const char* target) {
    unlink((folder_ + "/" + name).c_str());
    ASSERT_EQ(symlink(target, (folder_ + "/" + name).c_str()), 0);
  }

  // Starts the bench and expects its three windows up and answering within seconds.
  void startAndExpectAnswers() {
    scene_ = launchBench(folder_, "", &errors_);
    ASSERT_GT(scene_, 0);
    const auto start = std::chrono::steady_clock::now();
    long memory = 0;
    bool up = false;
    while (!up && secondsSince(start) < kStartSeconds &&
           (memory = largestResidentKiB(scene_)) < kMemoryBoundKiB) {
      usleep(50000);
      up = pidOfWindow("oculant") > 0 && pidOfWindow("oculant1") > 0 && pidOfWindow("oculant2") > 0;
    }
    ASSERT_LT(memory, kMemoryBoundKiB) << "KiB resident in one instance";
    ASSERT_TRUE(up) << "all three windows within " << kStartSeconds << " s";
    oculant::Client client;
    client.setTimeout(5);
    oculant::Frame left, right;
    EXPECT_TRUE(client.grabPair(&left, &right)) << client.error();
    EXPECT_EQ(left.width, 320);
    EXPECT_EQ(right.height, 240);
    EXPECT_TRUE(client.sendHeading(45, true)) << client.error();
  }

  // How often the bench's stderr holds the line once it holds it `expected` times, or after a
  // bounded wait.
  int countOnStderr(const std::string& line, int expected) {
    auto count = [&] {
      int found = 0;
      for (size_t at = stderr_.find(line); at != std::string::npos; at = stderr_.find(line, at + 1))
        ++found;
      return found;
    };
    const auto start = std::chrono::steady_clock::now();
    while (count() < expected && secondsSince(start) < kStderrSeconds) {
      pollfd ready = {errors_, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(errors_, buffer, sizeof buffer);
      if (n <= 0) break;
      stderr_.append(buffer, static_cast<size_t>(n));
    }
    return count();
  }

  PrivateRuntimeDir runtime_;
  std::string folder_;
  pid_t scene_ = -1;
  int errors_ = -1;
  std::string stderr_;
};

TEST_F(SceneFolderTest, AConfigurationFifoIsAnEmptyScene) {
  plantFifo("config.txt");
  ASSERT_NO_FATAL_FAILURE(startAndExpectAnswers());
  EXPECT_EQ(countOnStderr("oculant: config.txt is a FIFO, not a regular file: ignored\n", 3), 3)
      << stderr_;
}

TEST_F(SceneFolderTest, AConfigurationLinkedToDevZeroIsAnEmptyScene) {
  plantLink("config.txt", "/dev/zero");
  ASSERT_NO_FATAL_FAILURE(startAndExpectAnswers());
  EXPECT_EQ(countOnStderr("oculant: config.txt is a device, not a regular file: ignored\n", 3), 3)
      << stderr_;
}

TEST_F(SceneFolderTest, AConfigurationLinkedToDevUrandomIsAnEmptyScene) {
  plantLink("config.txt", "/dev/urandom");
  ASSERT_NO_FATAL_FAILURE(startAndExpectAnswers());
  EXPECT_EQ(countOnStderr("oculant: config.txt is a device, not a regular file: ignored\n", 3), 3)
      << stderr_;
}

TEST_F(SceneFolderTest, ATextureFifoIsAMissingTexture) {
  plantFifo("checker.bmp");
  ASSERT_NO_FATAL_FAILURE(startAndExpectAnswers());
  EXPECT_EQ(countOnStderr("oculant: checker.bmp is a FIFO, not a regular file: ignored\n", 3), 3)
      << stderr_;
  EXPECT_EQ(countOnStderr("Error: Failed to open DIB file checker.bmp.\n", 3), 3) << stderr_;
}

}  // namespace
