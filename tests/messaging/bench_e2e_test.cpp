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
#include "messaging/instance_messages.h"
#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"

namespace {

std::string fileText(const std::string& path) {
  const Bytes bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::string pixelText(const oculant::Frame& frame) {
  return std::string(frame.pixels.begin(), frame.pixels.end());
}

// An 8 x 8 checkerboard of red and yellow, for a wall the eyes can see.
Bytes checkerBmp() {
  BmpLayout layout = makeLayout(40, true, 8, 8, 24);
  layout.pixels =
      packRows(8, 8, 24, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0xFFFF00u; });
  return buildBmp(layout);
}

class BenchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Cameras started by the scene become our children when the scene ends, so their exit
    // codes can be read.
    ASSERT_TRUE(adoptOrphans());
    writeFile(dir.path() + "/wall.bmp", checkerBmp());
    std::ofstream(dir.path() + "/config.txt") << "ALL=1\nOBJECT1=1\nOBJECT1_X=-2\nOBJECT1_Y=1.5\n"
                                                 "OBJECT1_Z=0\nOBJECT1_WIDTH=6\nOBJECT1_HEIGHT=3\n"
                                                 "OBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n";
  }
  void TearDown() override {
    for (pid_t pid : {scene, left, right}) {
      if (pid > 0) kill(pid, SIGKILL);
    }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }

  // Starts the scene, which starts both cameras, and waits for the three windows.
  void startBench() {
    scene = launchBench(dir.path());
    ASSERT_TRUE(waitForClass("oculant"));
    ASSERT_TRUE(waitForClass("oculant1"));
    ASSERT_TRUE(waitForClass("oculant2"));
    left = static_cast<pid_t>(transportFindClass("oculant1") >> 10);
    right = static_cast<pid_t>(transportFindClass("oculant2") >> 10);
  }

  PrivateRuntimeDir dir;
  pid_t scene = -1;
  pid_t left = -1;
  pid_t right = -1;
};

std::vector<uintptr_t> receivedCodes;
LRESULT recordCode(HWND, HWND, const COPYDATASTRUCT& data) {
  receivedCodes.push_back(data.dwData);
  return 0;
}

TEST_F(BenchTest, CamerasAnswerFrameRequestsAndTheSceneDoesNot) {
  startBench();
  const HWND own = allocateWindowHandle();
  ASSERT_TRUE(transportListen(own, nullptr));
  const COPYDATASTRUCT request = {MSG_FRAME_REQUEST, 0, nullptr};
  const std::vector<std::pair<const char*, std::vector<uintptr_t>>> expected = {
      {"oculant1", {2101, 2201}}, {"oculant2", {2102, 2202}}, {"oculant", {}}};
  for (const auto& [className, codes] : expected) {
    receivedCodes.clear();
    bool delivered = false;
    transportSendToClass(className, own, request, recordCode, &delivered);
    EXPECT_TRUE(delivered) << className;
    EXPECT_EQ(receivedCodes, codes) << className;
  }
  transportClose(own);

  oculant::Client client;
  oculant::Frame leftFrame;
  oculant::Frame rightFrame;
  ASSERT_TRUE(client.grabPair(&leftFrame, &rightFrame)) << client.error();
  for (const oculant::Frame* frame : {&leftFrame, &rightFrame}) {
    EXPECT_EQ(frame->width, 320);
    EXPECT_EQ(frame->stride, 960);
    EXPECT_EQ(frame->height, 240);
    EXPECT_EQ(frame->pixels.size(), 960u * 240);
  }
  // The floor lies ahead of the rig: the eyes see it, each from its own side.
  EXPECT_NE(leftFrame.pixels, std::vector<uint8_t>(960 * 240, 0));
  EXPECT_NE(leftFrame.pixels, rightFrame.pixels);
}

TEST_F(BenchTest, SavedFilesHoldTheFrameOnScreenAndAreReplaced) {
  startBench();
  oculant::Client client;
  oculant::Frame first[2];
  ASSERT_TRUE(client.grabPair(&first[0], &first[1]));
  ASSERT_TRUE(client.saveFrames());
  const std::string files[2] = {dir.path() + "/image1.bmp", dir.path() + "/image2.bmp"};
  for (int eye = 0; eye < 2; ++eye) {
    EXPECT_EQ(fileText(files[eye]).substr(54), pixelText(first[eye])) << "eye " << eye;
    const std::string command = "identify -format '%w %h %m' " + files[eye];
    FILE* pipe = popen(command.c_str(), "r");
    char text[64] = {};
    fread(text, 1, sizeof text - 1, pipe);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(std::string(text).substr(0, 11), "320 240 BMP") << text;
  }

  // Turn the rig: a new frame, and the second save replaces the first.
  ASSERT_TRUE(client.sendHeading(60));
  oculant::Frame second[2];
  ASSERT_TRUE(client.grabPair(&second[0], &second[1]));
  ASSERT_TRUE(client.saveFrames());
  for (int eye = 0; eye < 2; ++eye) {
    EXPECT_NE(second[eye].pixels, first[eye].pixels) << "eye " << eye;
    EXPECT_EQ(fileText(files[eye]).substr(54), pixelText(second[eye])) << "eye " << eye;
  }

  // Back to the starting pose (heading 90 at 0.7, 0.7): both views are as at the start.
  ASSERT_TRUE(client.sendHeading(90));
  ASSERT_TRUE(client.sendRigPosition(0.7, 0.7));
  oculant::Frame again[2];
  ASSERT_TRUE(client.grabPair(&again[0], &again[1]));
  EXPECT_EQ(again[0].pixels, first[0].pixels);
  EXPECT_EQ(again[1].pixels, first[1].pixels);
}

TEST_F(BenchTest, BadInputLeavesEveryWindowAliveAndAnswering) {
  startBench();
  std::vector<int> stalled;
  for (const char* className : {"oculant", "oculant1", "oculant2"}) {
    const std::string path = dir.path() + "/class." + className;
    const std::vector<std::string> inputs = {
        "garbage that is no envelope", std::string("OCUM\xd1\x07\x00\x00", 8),    // truncated
        std::string("OCUM\xd1\x07\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff", 16),  // oversized
        std::string("OCUM\xea\x03\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00", 16) + "abc"};  // stalls
    for (size_t i = 0; i < inputs.size(); ++i) {
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
      ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      send(fd, inputs[i].data(), inputs[i].size(), MSG_NOSIGNAL);
      if (i + 1 == inputs.size()) {
        stalled.push_back(fd);  // kept open, never finished
      } else {
        close(fd);
      }
    }
  }
  oculant::Client client;
  oculant::Frame leftFrame;
  oculant::Frame rightFrame;
  EXPECT_TRUE(client.grabPair(&leftFrame, &rightFrame)) << client.error();
  EXPECT_TRUE(client.sendHeading(90, true));
  EXPECT_NE(transportFindClass("oculant"), 0u);
  for (int fd : stalled) close(fd);
  // Unknown codes are taken and ignored.
  const COPYDATASTRUCT unknown = {4242, 3, "abc"};
  bool delivered = false;
  transportSendToClass("oculant1", 0, unknown, nullptr, &delivered);
  EXPECT_TRUE(delivered);
  EXPECT_TRUE(client.grab(oculant::Eye::LEFT, &leftFrame));
}

TEST_F(BenchTest, QuitCascadeEndsTheRightProcessesWithExitCodeZero) {
  {
    // Closing the cameras ends both and leaves the scene running.
    startBench();
    oculant::Client client;
    ASSERT_TRUE(client.quit(true));
    for (int i = 0; i < 3000 && (transportFindClass("oculant1") || transportFindClass("oculant2"));
         ++i) {
      usleep(10000);
    }
    EXPECT_EQ(transportFindClass("oculant1"), 0u);
    EXPECT_EQ(transportFindClass("oculant2"), 0u);
    EXPECT_NE(transportFindClass("oculant"), 0u);
    EXPECT_TRUE(client.sendHeading(10, true));  // the scene still answers

    // Closing the scene ends it; the cameras it had were already gone.
    ASSERT_TRUE(client.quit());
    EXPECT_EQ(waitExit(scene), 0);
    EXPECT_EQ(waitExit(left), 0);
    EXPECT_EQ(waitExit(right), 0);
    scene = left = right = -1;

    // Closing the scene of a full bench ends all three.
    startBench();
    ASSERT_TRUE(client.quit());
    EXPECT_EQ(waitExit(scene), 0);
    EXPECT_EQ(waitExit(left), 0);
    EXPECT_EQ(waitExit(right), 0);
    scene = left = right = -1;
    EXPECT_FALSE(client.benchRunning());
  }
}

}  // namespace
