// The real bench against faults: instances killed with SIGKILL, saves onto a full disk or to
// names held by a folder, a link or a FIFO, a hundred clients at once and clients that connect
// and say nothing. The bench must go on answering, and clients must get clear errors, never hang.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "wire/wire_format.h"

namespace {

const char* const kClasses[3] = {"oculant", "oculant1", "oculant2"};

// What a process and everything it started wrote to the pipe until all of them closed it;
// gives up after a minute.
std::string readUntilClosed(int fd) {
  std::string text;
  char buffer[4096];
  const time_t giveUp = time(nullptr) + 60;
  while (time(nullptr) < giveUp) {
    pollfd ready = {fd, POLLIN, 0};
    if (poll(&ready, 1, 1000) <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return text;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isSymlinkTo(const std::string& path, const std::string& target) {
  char text[256];
  const ssize_t n = readlink(path.c_str(), text, sizeof text - 1);
  return n > 0 && std::string(text, static_cast<size_t>(n)) == target;
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adoptOrphans();
    folder_ = runtime_.path() + "/bench";
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
  }
  void TearDown() override {
    for (const char* className : kClasses) {
      const pid_t pid = pidOfWindow(className);
      if (pid > 0) kill(pid, SIGKILL);
    }
    for (pid_t pid : launched_) kill(pid, SIGKILL);
    while (waitpid(-1, nullptr, WNOHANG) > 0 || errno == EINTR) {
    }
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }

  void copyDemo() { ASSERT_TRUE(copyDemoScene(folder_)); }
  // Starts the executable by hand in the folder and waits for the windows named.
  void start(std::vector<const char*> classes = {"oculant", "oculant1", "oculant2"}) {
    launched_.push_back(launchBench(folder_));
    for (const char* className : classes) ASSERT_TRUE(waitForClass(className)) << className;
  }
  void expectPair(oculant::Client& client) {
    oculant::Frame left, right;
    ASSERT_TRUE(client.grabPair(&left, &right)) << client.error();
    EXPECT_EQ(left.width, 320);
    EXPECT_EQ(right.height, 240);
  }
  bool sceneAnswers() {
    oculant::Client client;
    return client.sendHeading(90, true);
  }

  PrivateRuntimeDir runtime_;
  std::string folder_;
  std::vector<pid_t> launched_;
  bool mounted_ = false;
};

TEST_F(FaultTest, KillNineOfACameraMidFetchGivesAClearErrorAndAStartByHandBringsItBack) {
  copyDemo();
  start();
  const pid_t left = pidOfWindow("oculant1");
  std::thread killer([left] {
    usleep(300000);
    kill(left, SIGKILL);
  });
  oculant::Client client;
  oculant::Frame frame;
  int fetched = 0;
  const time_t giveUp = time(nullptr) + 20;
  while (client.grab(oculant::Eye::LEFT, &frame) && time(nullptr) < giveUp) ++fetched;
  killer.join();
  EXPECT_GT(fetched, 0);
  EXPECT_NE(client.error().find("left camera"), std::string::npos) << client.error();
  EXPECT_EQ(waitExit(left), 128 + SIGKILL);

  // The scene and the other camera go on; a start by hand takes the missing left role although
  // the count, short by the killed unit, names the right one.
  EXPECT_TRUE(sceneAnswers());
  EXPECT_TRUE(client.grab(oculant::Eye::RIGHT, &frame)) << client.error();
  start({"oculant1"});
  expectPair(client);
  EXPECT_EQ(pidOfWindow("oculant1"), launched_.back());
}

TEST_F(FaultTest, KillNineOfTheSceneLeavesTheCamerasServingAndAStartBringsTheSceneBack) {
  copyDemo();
  start();
  const pid_t scene = launched_.back();
  const pid_t cameras[2] = {pidOfWindow("oculant1"), pidOfWindow("oculant2")};
  kill(scene, SIGKILL);
  EXPECT_EQ(waitExit(scene), 128 + SIGKILL);
  oculant::Client client;
  oculant::Frame before, after;
  ASSERT_TRUE(client.grab(oculant::Eye::LEFT, &before)) << client.error();
  ASSERT_TRUE(client.sendHeading(45));
  ASSERT_TRUE(client.grab(oculant::Eye::LEFT, &after)) << client.error();
  EXPECT_NE(before.pixels, after.pixels);
  expectPair(client);

  // The new scene takes the running cameras over and starts none: anything it started would
  // hold its standard error open or have written a refusal there.
  int sceneErrors = -1;
  const pid_t newScene = launchBench(folder_, "", &sceneErrors);
  launched_.push_back(newScene);
  ASSERT_TRUE(waitForClass("oculant"));
  EXPECT_EQ(pidOfWindow("oculant"), newScene);
  EXPECT_EQ(pidOfWindow("oculant1"), cameras[0]);
  EXPECT_EQ(pidOfWindow("oculant2"), cameras[1]);
  expectPair(client);

  int fourthErrors = -1;
  const pid_t fourth = launchBench(folder_, "", &fourthErrors);
  EXPECT_EQ(waitExit(fourth), 1);
  const std::string refusal = readUntilClosed(fourthErrors);
  EXPECT_NE(refusal.find("Error: Too many program!"), std::string::npos) << refusal;

  client.quit();  // the exits below tell whether it arrived
  EXPECT_EQ(waitExit(newScene), 0);
  EXPECT_EQ(waitExit(cameras[0]), 0);
  EXPECT_EQ(waitExit(cameras[1]), 0);
  const std::string sceneText = readUntilClosed(sceneErrors);
  EXPECT_EQ(sceneText.find("Too many program!"), std::string::npos) << sceneText;
}

TEST_F(FaultTest, SavesKeepThePreviousFileAndNeitherWriteThroughLinksNorWaitOnFifos) {
  // A disk with room for the scene but not for a frame, where the system allows a mount.
  mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=128k") == 0;
  copyDemo();
  const std::string image1 = folder_ + "/image1.bmp";
  const std::string image2 = folder_ + "/image2.bmp";
  const std::string notes = runtime_.path() + "/notes.txt";  // outside the bench's folder
  writeText(notes, "notes");
  ASSERT_EQ(symlink(notes.c_str(), image2.c_str()), 0);
  if (mounted_) {
    writeText(image1, "the previous frame");
  } else {
    ASSERT_EQ(mkdir(image1.c_str(), 0700), 0);  // without one, a name that cannot be replaced
  }
  int errors = -1;
  launched_.push_back(launchBench(folder_, "", &errors));
  for (const char* className : kClasses) ASSERT_TRUE(waitForClass(className)) << className;
  oculant::Client client;
  ASSERT_TRUE(client.saveFrames());
  expectPair(client);  // answered after both saves were handled
  EXPECT_TRUE(readText(notes) == "notes") << "written through the link";
  struct stat info;
  if (mounted_) {
    EXPECT_EQ(readText(image1), "the previous frame");
    EXPECT_TRUE(isSymlinkTo(image2, notes));
  } else {
    EXPECT_TRUE(stat(image1.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    EXPECT_TRUE(lstat(image2.c_str(), &info) == 0 && S_ISREG(info.st_mode));
  }

  // A FIFO at the name: were it opened, the camera would wait for a reader for ever.
  std::remove(image1.c_str());
  ASSERT_EQ(mkfifo(image1.c_str(), 0600), 0);
  ASSERT_TRUE(client.saveFrames());
  client.setTimeout(5);
  ASSERT_NO_FATAL_FAILURE(expectPair(client));
  EXPECT_TRUE(sceneAnswers());

  client.quit();
  const std::string reason = mounted_ ? "No space left on device" : "Is a directory";
  const std::string text = readUntilClosed(errors);
  EXPECT_NE(text.find("oculant: cannot save image1.bmp: " + reason + "\n"), std::string::npos)
      << text;
}

TEST_F(FaultTest, AHundredClientsAtOnceAndSilentClientsAreAllServed) {
  copyDemo();
  start();
  // Connections that never send a byte, a few to every window.
  std::vector<int> silent;
  for (const char* className : kClasses) {
    for (int i = 0; i < 3; ++i) {
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      const std::string path = runtime_.path() + "/class." + className;
      std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
      ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      silent.push_back(fd);
    }
  }
  std::vector<pid_t> clients;
  for (int i = 0; i < 100; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      oculant::Client client;
      oculant::Frame frame;
      const bool ok = client.grab(i % 2 ? oculant::Eye::RIGHT : oculant::Eye::LEFT, &frame) &&
                      frame.width == 320 && frame.height == 240;
      _exit(ok ? 0 : 1);
    }
    clients.push_back(pid);
  }
  int served = 0;
  for (pid_t pid : clients) served += waitExit(pid) == 0;
  EXPECT_EQ(served, 100);
  oculant::Client client;
  expectPair(client);
  EXPECT_TRUE(sceneAnswers());
  for (int fd : silent) close(fd);
}

}  // namespace
