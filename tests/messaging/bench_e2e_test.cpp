// The real bench under Xvfb: each window answers a frame request with its own codes, bad input
// at every window leaves the bench serving, and closing the scene ends all three with 0. What
// the frames and saved files hold is left to the input and fault end-to-end tests.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "messaging/instance_messages.h"
#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"

namespace {

std::vector<uintptr_t> receivedCodes;
LRESULT recordCode(HWND, HWND, const COPYDATASTRUCT& data) {
  receivedCodes.push_back(data.dwData);
  return 0;
}

// Sends each input to the class's socket; the last one is left unfinished and open.
int sendBadInput(const std::string& path) {
  const std::string inputs[] = {
      "garbage that is no envelope", std::string("OCUM\xd1\x07\x00\x00", 8),    // truncated
      std::string("OCUM\xd1\x07\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff", 16),  // oversized
      std::string("OCUM\xea\x03\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00", 16) + "abc"};  // stalls
  int fd = -1;
  for (const std::string& input : inputs) {
    if (fd >= 0) close(fd);
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    send(fd, input.data(), input.size(), MSG_NOSIGNAL);
  }
  return fd;
}

TEST(Bench, AnswersSurvivesBadInputAndQuitsWithExitCodeZero) {
  // Cameras started by the scene become our children when the scene ends, so their exit codes
  // can be read.
  ASSERT_TRUE(adoptOrphans());
  PrivateRuntimeDir dir;
  std::ofstream(dir.path() + "/config.txt") << "ALL=1\n";
  const pid_t scene = launchBench(dir.path());
  ASSERT_TRUE(waitForClass("oculant") && waitForClass("oculant1") && waitForClass("oculant2"));
  const pid_t left = pidOfWindow("oculant1"), right = pidOfWindow("oculant2");

  const HWND own = allocateWindowHandle();
  ASSERT_TRUE(transportListen(own, nullptr));
  const COPYDATASTRUCT request = {MSG_FRAME_REQUEST, 0, nullptr};
  const std::pair<const char*, std::vector<uintptr_t>> answers[] = {
      {"oculant1", {2101, 2201}}, {"oculant2", {2102, 2202}}, {"oculant", {}}};
  for (const auto& [className, codes] : answers) {
    receivedCodes.clear();
    EXPECT_EQ(transportSendToClass(className, own, request, recordCode, 10000), SendStatus::HANDLED)
        << className;
    EXPECT_EQ(receivedCodes, codes) << className;
  }
  transportClose(own);

  oculant::Client client;
  std::vector<int> stalled;
  for (const char* className : {"oculant", "oculant1", "oculant2"})
    stalled.push_back(sendBadInput(dir.path() + "/class." + className));
  oculant::Frame frames[2];
  EXPECT_TRUE(client.grabPair(&frames[0], &frames[1])) << client.error();
  EXPECT_TRUE(client.sendHeading(90, true)) << client.error();
  for (int fd : stalled) close(fd);

  // Closing the scene of a full bench ends all three.
  ASSERT_TRUE(client.quit());
  EXPECT_EQ(waitExit(scene), 0);
  EXPECT_EQ(waitExit(left), 0);
  EXPECT_EQ(waitExit(right), 0);
  EXPECT_FALSE(client.benchRunning());
}

}  // namespace
