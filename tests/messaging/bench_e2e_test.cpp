// The real bench under Xvfb, driven through the client library and the raw transport.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "magick.h"
#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "wire/wire_format.h"

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

TEST(Bench, AnswersSavesSurvivesBadInputAndQuitsWithExitCodeZero) {
  // Cameras started by the scene become our children when the scene ends, so their exit codes
  // can be read.
  ASSERT_TRUE(adoptOrphans());
  PrivateRuntimeDir dir;
  BmpLayout wall = makeLayout(40, true, 8, 8, 24);
  wall.pixels =
      packRows(8, 8, 24, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0xFFFF00u; });
  writeFile(dir.path() + "/wall.bmp", buildBmp(wall));
  std::ofstream(dir.path() + "/config.txt") << "ALL=1\nOBJECT1=1\nOBJECT1_X=-2\nOBJECT1_Y=1.5\n"
                                               "OBJECT1_WIDTH=6\nOBJECT1_HEIGHT=3\n"
                                               "OBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n";
  const pid_t scene = launchBench(dir.path());
  ASSERT_TRUE(waitForClass("oculant") && waitForClass("oculant1") && waitForClass("oculant2"));
  const pid_t left = pid_t(transportFindClass("oculant1") >> 10),
              right = pid_t(transportFindClass("oculant2") >> 10);

  const HWND own = allocateWindowHandle();
  ASSERT_TRUE(transportListen(own, nullptr));
  const COPYDATASTRUCT request = {MSG_FRAME_REQUEST, 0, nullptr};
  const std::pair<const char*, std::vector<uintptr_t>> answers[] = {
      {"oculant1", {2101, 2201}}, {"oculant2", {2102, 2202}}, {"oculant", {}}};
  for (const auto& [className, codes] : answers) {
    receivedCodes.clear();
    const bool delivered =
        transportSendToClass(className, own, request, recordCode, 10000) == SendStatus::HANDLED;
    EXPECT_TRUE(delivered) << className;
    EXPECT_EQ(receivedCodes, codes) << className;
  }
  transportClose(own);

  // Saved files hold the frame on screen, ImageMagick reads them, a second save replaces them.
  oculant::Client client;
  const std::string files[2] = {dir.path() + "/image1.bmp", dir.path() + "/image2.bmp"};
  oculant::Frame first[2], second[2];
  for (double heading : {90.0, 60.0}) {
    ASSERT_TRUE(client.sendHeading(heading));
    oculant::Frame* frames = heading == 90 ? first : second;
    ASSERT_TRUE(client.grabPair(&frames[0], &frames[1])) << client.error();
    ASSERT_TRUE(client.saveFrames());
    for (int eye = 0; eye < 2; ++eye) {
      const Bytes saved = readFile(files[eye]);
      EXPECT_EQ(Bytes(saved.begin() + 54, saved.end()), frames[eye].pixels) << "eye " << eye;
      EXPECT_EQ(magickRead(files[eye]).width * 1000 + magickRead(files[eye]).height, 320240);
    }
  }
  EXPECT_NE(first[0].pixels, std::vector<uint8_t>(960 * 240, 0)) << "the eyes see the wall";
  EXPECT_NE(first[0].pixels, first[1].pixels);
  EXPECT_NE(second[0].pixels, first[0].pixels);

  std::vector<int> stalled;
  for (const char* className : {"oculant", "oculant1", "oculant2"})
    stalled.push_back(sendBadInput(dir.path() + "/class." + className));
  EXPECT_TRUE(client.grabPair(&second[0], &second[1])) << client.error();
  EXPECT_TRUE(client.sendHeading(90, true));
  for (int fd : stalled) close(fd);

  // Closing the scene of a full bench ends all three.
  ASSERT_TRUE(client.quit());
  EXPECT_EQ(waitExit(scene), 0);
  EXPECT_EQ(waitExit(left), 0);
  EXPECT_EQ(waitExit(right), 0);
  EXPECT_FALSE(client.benchRunning());
}

}  // namespace
