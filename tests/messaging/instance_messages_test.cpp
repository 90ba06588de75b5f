#include "messaging/instance_messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/lifecycle.h"
#include "image/frame_capture.h"
#include "messaging/latest_frame.h"
#include "platform/window.h"
#include "render/frame_renderer.h"
#include "scene/scene_state.h"

namespace {

struct Sent {
  HWND target;
  HWND sender;
  uintptr_t code;
  std::string payload;
  const void* address;
};

std::vector<std::string> calls;
std::vector<Sent> sent;
std::map<std::string, HWND> windows;
int clientWidth = 0;
int clientHeight = 0;
bool captureFails = false;
const void* capturedPixels = nullptr;

}  // namespace

// Recording stand-ins for what the handlers call.
HWND findWindow(const char* className) {
  calls.push_back(std::string("find ") + className);
  const auto found = windows.find(className);
  return found == windows.end() ? 0 : found->second;
}
LRESULT sendCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data) {
  calls.push_back("send " + std::to_string(target) + " " + std::to_string(data.dwData));
  sent.push_back({target, sender, data.dwData,
                  std::string(static_cast<const char*>(data.lpData), data.cbData), data.lpData});
  return 1;
}
bool getClientRect(HWND, int* width, int* height) {
  *width = clientWidth;
  *height = clientHeight;
  return true;
}
void onClose(HWND window) {
  calls.push_back("close " + std::to_string(window));
}
void drawFrame() {
  calls.push_back("draw");
}
void captureFrame(CaptureImage* image, int width, int height) {
  calls.push_back("capture " + std::to_string(width) + "x" + std::to_string(height));
  image->width = width;
  image->height = height;
  image->stride = (width * 3 + 3) / 4 * 4;
  image->pixels = nullptr;
  if (captureFails) return;
  const size_t size = static_cast<size_t>(image->stride) * height;
  image->pixels = static_cast<uint8_t*>(std::malloc(size + 1));
  for (size_t i = 0; i < size; ++i) image->pixels[i] = static_cast<uint8_t>(i * 31);
  capturedPixels = image->pixels;
}
void saveFrame(const char* fileName, int width, int height) {
  calls.push_back(std::string("save ") + fileName + " " + std::to_string(width) + "x" +
                  std::to_string(height));
}
int writeBmp(const char* fileName, CaptureImage image) {
  calls.push_back(std::string("write ") + fileName + " " + std::to_string(image.width) + "x" +
                  std::to_string(image.height));
  return 0;
}
void freeCaptureImage(CaptureImage* image) {
  calls.push_back(image->pixels == capturedPixels ? "free" : "free of a stranger");
  std::free(image->pixels);
  image->pixels = nullptr;
}

namespace {

class InstanceMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    forgetLatestFrame();
    resetSceneState();
    calls.clear();
    sent.clear();
    windows.clear();
    clientWidth = clientHeight = 0;
    captureFails = false;
  }
  LRESULT handle(uintptr_t code, const void* payload = nullptr, uint32_t length = 0,
                 WPARAM sender = 900) {
    const COPYDATASTRUCT data = {code, length, payload};
    return handleInstanceMessage(kWindow, sender, &data);
  }
  static constexpr HWND kWindow = 77;
};

const InstanceRole kRoles[] = {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA};

TEST_F(InstanceMessagesTest, SendToCamerasServesTheLeftCameraFirstAndSkipsMissingOnes) {
  windows = {{"oculant1", 11}, {"oculant2", 12}};
  const double xy[2] = {1.5, -2.25};
  sendToCameras(MSG_RIG_XY, 16, xy, 5);
  EXPECT_EQ(calls, (std::vector<std::string>{"find oculant1", "send 11 1003", "find oculant2",
                                             "send 12 1003"}));
  ASSERT_EQ(sent.size(), 2u);
  for (const Sent& s : sent) {
    EXPECT_EQ(s.sender, 5u);
    EXPECT_EQ(s.payload, std::string(reinterpret_cast<const char*>(xy), 16));
  }

  calls.clear();
  windows = {{"oculant2", 12}};
  sendToCameras(MSG_QUIT, 0, nullptr, 5);
  EXPECT_EQ(calls, (std::vector<std::string>{"find oculant1", "find oculant2", "send 12 1000"}));

  calls.clear();
  windows.clear();
  sendToCameras(MSG_SAVE_FRAME, 0, nullptr, 5);
  EXPECT_EQ(calls, (std::vector<std::string>{"find oculant1", "find oculant2"}));
}

TEST_F(InstanceMessagesTest, QuitClosesTheWindowInEveryRole) {
  for (InstanceRole r : kRoles) {
    role = r;
    calls.clear();
    EXPECT_EQ(handle(MSG_QUIT), 0);
    EXPECT_EQ(calls, std::vector<std::string>{"close 77"});
  }
}

TEST_F(InstanceMessagesTest, SaveFrameWritesTheCamerasOwnFileOfTheFrameOnScreen) {
  clientWidth = 320;
  clientHeight = 240;
  role = ROLE_LEFT_CAMERA;
  EXPECT_EQ(handle(MSG_SAVE_FRAME), 0);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"draw", "capture 320x240", "write image1.bmp 320x240"}));
  calls.clear();
  role = ROLE_RIGHT_CAMERA;
  handle(MSG_SAVE_FRAME);
  EXPECT_EQ(calls, (std::vector<std::string>{"free", "draw", "capture 320x240",
                                             "write image2.bmp 320x240"}));
  calls.clear();
  role = ROLE_SCENE;
  handle(MSG_SAVE_FRAME);
  EXPECT_TRUE(calls.empty());
}

TEST_F(InstanceMessagesTest, PoseMessagesSetTheRigPoseAndIgnoreShortPayloads) {
  for (InstanceRole r : kRoles) {
    role = r;
    resetSceneState();
    role = r;
    const double heading = 123.25;
    handle(MSG_HEADING, &heading, 8);
    EXPECT_EQ(rigPose.heading, 123.25);
    const double xy[2] = {0.75, -3.5};
    handle(MSG_RIG_XY, xy, 16);
    EXPECT_EQ(rigPose.rigX, 0.75);
    EXPECT_EQ(rigPose.rigY, -3.5);

    const double other[2] = {9, 9};
    handle(MSG_HEADING, other, 7);
    handle(MSG_HEADING, nullptr, 8);
    handle(MSG_RIG_XY, other, 15);
    handle(MSG_RIG_XY, nullptr, 16);
    EXPECT_EQ(rigPose.heading, 123.25);
    EXPECT_EQ(rigPose.rigX, 0.75);
    EXPECT_EQ(rigPose.rigY, -3.5);
    // A longer payload is read for its first bytes only.
    const double longer[3] = {1, 2, 3};
    handle(MSG_RIG_XY, longer, 24);
    EXPECT_EQ(rigPose.rigX, 1);
    EXPECT_EQ(rigPose.rigY, 2);
    EXPECT_TRUE(calls.empty());
  }
}

TEST_F(InstanceMessagesTest, FrameRequestSendsHeaderThenPixelsToTheRequester) {
  clientWidth = 301;
  clientHeight = 7;
  for (InstanceRole r : {ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    role = r;
    calls.clear();
    sent.clear();
    EXPECT_EQ(handle(MSG_FRAME_REQUEST, "ignored", 7, 900), 0);
    const std::string header = std::to_string(2100 + r);
    const std::string pixels = std::to_string(2200 + r);
    // The frame kept for the other role is given up first.
    std::vector<std::string> expectedCalls = {"draw", "capture 301x7", "send 900 " + header,
                                              "send 900 " + pixels};
    if (r == ROLE_RIGHT_CAMERA) expectedCalls.insert(expectedCalls.begin(), "free");
    EXPECT_EQ(calls, expectedCalls);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].sender, kWindow);
    EXPECT_EQ(sent[1].sender, kWindow);
    ASSERT_EQ(sent[0].payload.size(), 20u);
    const unsigned char expected[20] = {0, 0, 0, 0, 45, 1, 0, 0, 0x88, 3, 0, 0, 7, 0, 0, 0};
    EXPECT_EQ(std::memcmp(sent[0].payload.data(), expected, 20), 0);
    ASSERT_EQ(sent[1].payload.size(), 904u * 7);
    EXPECT_EQ(sent[1].address, capturedPixels);  // the capture itself, not a copy
    EXPECT_EQ(static_cast<unsigned char>(sent[1].payload[904 * 6 + 5]),
              static_cast<unsigned char>((904 * 6 + 5) * 31));
  }
}

TEST_F(InstanceMessagesTest, FrameRequestsReuseTheFrameUntilWhatItShowsChanges) {
  role = ROLE_LEFT_CAMERA;
  clientWidth = 8;
  clientHeight = 2;
  handle(MSG_FRAME_REQUEST);
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  handle(MSG_SAVE_FRAME);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"send 900 2101", "send 900 2201", "write image1.bmp 8x2"}));
  const double heading = 45;
  const double xy[2] = {1, 2};
  struct Change {
    const char* what;
    std::function<void()> apply;
  };
  const Change changes[] = {
      {"heading", [&] { handle(MSG_HEADING, &heading, 8); }},
      {"position", [&] { handle(MSG_RIG_XY, xy, 16); }},
      {"size", [] { clientWidth = 9; }},
      {"overview", [] { overviewView.spin += 5; }},
  };
  for (const Change& change : changes) {
    change.apply();
    calls.clear();
    handle(MSG_FRAME_REQUEST);
    ASSERT_GE(calls.size(), 3u) << change.what;
    EXPECT_EQ(calls[1], "draw") << change.what;
  }
}

TEST_F(InstanceMessagesTest, FrameRequestEdgeCases) {
  // A minimised window answers with an empty frame.
  role = ROLE_LEFT_CAMERA;
  handle(MSG_FRAME_REQUEST);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].payload, std::string(20, '\0'));
  EXPECT_EQ(sent[1].payload, "");

  // The scene window does not answer.
  role = ROLE_SCENE;
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  EXPECT_TRUE(calls.empty());

  // No memory for the capture: nothing is sent.
  role = ROLE_RIGHT_CAMERA;
  clientWidth = 4;
  clientHeight = 4;
  captureFails = true;
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  EXPECT_EQ(calls, (std::vector<std::string>{"free", "draw", "capture 4x4"}));

  // A requester that can be no window gets no reply.
  captureFails = false;
  calls.clear();
  handle(MSG_FRAME_REQUEST, nullptr, 0, 0);
  handle(MSG_FRAME_REQUEST, nullptr, 0, WPARAM(1) << 40);
  EXPECT_TRUE(calls.empty());
}

TEST_F(InstanceMessagesTest, UnknownCodesAndMissingDescriptorsDoNothing) {
  for (InstanceRole r : kRoles) {
    role = r;
    EXPECT_EQ(handle(999), 0);
    EXPECT_EQ(handle(2101, "x", 1), 0);
    EXPECT_EQ(handleInstanceMessage(kWindow, 900, nullptr), 0);
  }
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(rigPose.heading, 0);
}

}  // namespace
