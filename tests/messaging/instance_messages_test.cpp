#include "messaging/instance_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/frame_capture.h"
#include "messaging/latest_frame.h"
#include "platform/tick.h"
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
  std::shared_ptr<const void> keepAlive;
};

std::vector<std::string> calls;
std::vector<Sent> sent;
int clientWidth = 0;
int clientHeight = 0;
bool captureFails = false;
const void* capturedPixels = nullptr;
std::vector<const void*> livePixels;  // captured and not yet freed
HWND cameras[2] = {0, 0};
HWND unanswering = 0;
uint32_t ticks = 0;

}  // namespace

// Recording stand-ins for what the handlers call.
HWND findWindow(const char* className) {
  return std::string(className) == "oculant1"   ? cameras[0]
         : std::string(className) == "oculant2" ? cameras[1]
                                                : 0;
}
void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> keepAlive) {
  calls.push_back("send " + std::to_string(target) + " " + std::to_string(data.dwData));
  sent.push_back({target, sender, data.dwData,
                  std::string(static_cast<const char*>(data.lpData), data.cbData), data.lpData,
                  std::move(keepAlive)});
}
bool sendCopyDataTimeout(HWND target, HWND, const COPYDATASTRUCT& data, int timeoutMs, LRESULT*) {
  calls.push_back("sync " + std::to_string(target) + " " + std::to_string(data.dwData) + " " +
                  std::to_string(timeoutMs));
  return target != unanswering;
}
uint32_t tickCount() {
  return ticks;
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
  livePixels.push_back(image->pixels);
}
int writeBmp(const char* fileName, CaptureImage image) {
  calls.push_back(std::string("write ") + fileName + " " + std::to_string(image.width) + "x" +
                  std::to_string(image.height));
  return 0;
}
void freeCaptureImage(CaptureImage* image) {
  const auto live = std::find(livePixels.begin(), livePixels.end(), image->pixels);
  calls.push_back(live != livePixels.end() ? "free" : "free of a stranger");
  if (live != livePixels.end()) livePixels.erase(live);
  std::free(image->pixels);
  image->pixels = nullptr;
}

namespace {

constexpr HWND kWindow = 77;

LRESULT handle(uintptr_t code, const void* payload = nullptr, uint32_t length = 0,
               WPARAM sender = 900) {
  const COPYDATASTRUCT data = {code, length, payload};
  return handleInstanceMessage(kWindow, sender, &data);
}

void reset(InstanceRole instanceRole) {
  setQuitHandler(onClose);
  forgetLatestFrame();
  resetSceneState();
  role = instanceRole;
  sent.clear();
  calls.clear();
  clientWidth = 320;
  clientHeight = 240;
  captureFails = false;
}

TEST(InstanceMessages, EachCodeInEachRole) {
  const double pose[3] = {123.25, -3.5, 7};
  const struct {
    InstanceRole role;
    uintptr_t code;
    uint32_t length;
    WPARAM sender;
    const char* calls;  // joined by ", "
  } cases[] = {
      {ROLE_SCENE, MSG_QUIT, 0, 900, "close 77"},
      {ROLE_LEFT_CAMERA, MSG_QUIT, 0, 900, "close 77"},
      {ROLE_RIGHT_CAMERA, MSG_QUIT, 0, 900, "close 77"},
      {ROLE_SCENE, MSG_SAVE_FRAME, 0, 900, ""},
      {ROLE_LEFT_CAMERA, MSG_SAVE_FRAME, 0, 900, "draw, capture 320x240, write image1.bmp 320x240"},
      {ROLE_RIGHT_CAMERA, MSG_SAVE_FRAME, 0, 900,
       "draw, capture 320x240, write image2.bmp 320x240"},
      {ROLE_SCENE, MSG_FRAME_REQUEST, 0, 900, ""},
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, 0, 900,
       "draw, capture 320x240, send 900 2101, send 900 2201"},
      {ROLE_RIGHT_CAMERA, MSG_FRAME_REQUEST, 0, 900,
       "draw, capture 320x240, send 900 2102, send 900 2202"},
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, 0, 0, ""},  // a requester that can be no window
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, 0, WPARAM(1) << 40, ""},
      {ROLE_SCENE, 999, 0, 900, ""},
      {ROLE_LEFT_CAMERA, 2101, 1, 900, ""},
  };
  for (const auto& c : cases) {
    reset(c.role);
    EXPECT_EQ(handle(c.code, "x", c.length, c.sender), 0);
    std::string joined;
    for (const std::string& call : calls) joined += (joined.empty() ? "" : ", ") + call;
    EXPECT_EQ(joined, c.calls) << "role " << c.role << " code " << c.code;
  }
  // Pose messages set the rig pose in every role; short or missing payloads are ignored and
  // longer ones read for their first bytes.
  for (InstanceRole r : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    reset(r);
    handle(MSG_HEADING, pose, 8);
    handle(MSG_RIG_XY, pose + 1, 24);
    handle(MSG_HEADING, pose + 1, 7);
    handle(MSG_HEADING, nullptr, 8);
    handle(MSG_RIG_XY, pose, 15);
    EXPECT_EQ(handleInstanceMessage(kWindow, 900, nullptr), 0);
    EXPECT_EQ(rigPose.heading * 1000 + rigPose.rigX * 10 + rigPose.rigY, 123250 - 35 + 7) << r;
    EXPECT_TRUE(calls.empty());
  }
}

TEST(InstanceMessages, TheFrameGoesToTheRequesterAsHeaderThenTheCaptureItself) {
  reset(ROLE_LEFT_CAMERA);
  clientWidth = 301;
  clientHeight = 7;
  handle(MSG_FRAME_REQUEST);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].sender + sent[1].sender, 2 * kWindow);
  const unsigned char header[20] = {0, 0, 0, 0, 45, 1, 0, 0, 0x88, 3, 0, 0, 7, 0, 0, 0};
  EXPECT_EQ(sent[0].payload, std::string(reinterpret_cast<const char*>(header), 20));
  EXPECT_EQ(sent[1].payload.size(), 904u * 7);
  EXPECT_EQ(sent[1].address, capturedPixels);  // not a copy

  // Until what it shows changes, the frame is sent again without drawing.
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  EXPECT_EQ(calls, (std::vector<std::string>{"send 900 2101", "send 900 2201"}));
  overviewView.spin += 5;
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"draw", "capture 301x7", "send 900 2101", "send 900 2201"}));
  // The frame replaced stays whole until the sends that carry it are over.
  calls.clear();
  sent.erase(sent.begin(), sent.end() - 2);
  EXPECT_EQ(calls, std::vector<std::string>{"free"});

  // A minimised window answers with an empty frame; no memory for the capture sends nothing.
  reset(ROLE_LEFT_CAMERA);
  clientWidth = clientHeight = 0;
  handle(MSG_FRAME_REQUEST);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].payload + sent[1].payload, std::string(20, '\0'));
  reset(ROLE_RIGHT_CAMERA);
  captureFails = true;
  handle(MSG_FRAME_REQUEST);
  EXPECT_TRUE(sent.empty());
}

std::string takeCalls() {
  std::string joined;
  for (const std::string& call : calls) joined += (joined.empty() ? "" : ", ") + call;
  calls.clear();
  return joined;
}

// The scene keeps both cameras at its pose: a camera that does not answer costs one short wait
// and is brought to the whole pose when it answers again; new windows get the pose they need.
TEST(CameraLinks, SlowCamerasAreSkippedThenResynchronisedLeftFirst) {
  reset(ROLE_SCENE);
  rigPose = kStartPose;
  resetCameraLinks();
  cameras[0] = 11;
  cameras[1] = 12;
  unanswering = 0;
  syncCameras(kWindow);  // windows there before the scene's first look may hold any pose
  EXPECT_EQ(takeCalls(), "sync 11 1003 50, sync 11 1002 50, sync 12 1003 50, sync 12 1002 50");
  rigPose.heading = 100;
  unanswering = 11;
  sendToCameras(MSG_HEADING, 8, &rigPose.heading, kWindow);
  EXPECT_EQ(takeCalls(), "sync 11 1002 50, sync 12 1002 50");
  sendToCameras(MSG_HEADING, 8, &rigPose.heading, kWindow);
  EXPECT_EQ(takeCalls(), "sync 12 1002 50") << "not tried again before it is due";
  ticks += kRetryMs;
  unanswering = 0;
  syncCameras(kWindow);
  EXPECT_EQ(takeCalls(), "sync 11 1003 50, sync 11 1002 50");
  ticks += kSyncCheckMs;
  syncCameras(kWindow);
  EXPECT_EQ(takeCalls(), "") << "both in step";

  // A camera started again after the rig moved needs the pose; saves wait longer.
  cameras[1] = 13;
  ticks += kSyncCheckMs;
  syncCameras(kWindow);
  EXPECT_EQ(takeCalls(), "sync 13 1003 50, sync 13 1002 50");
  sendToCameras(MSG_SAVE_FRAME, 0, nullptr, kWindow);
  EXPECT_EQ(takeCalls(), "sync 11 1001 500, sync 13 1001 500");

  // Cameras pass a quit on without any of this.
  reset(ROLE_LEFT_CAMERA);
  sendToCameras(MSG_QUIT, 0, nullptr, kWindow);
  EXPECT_EQ(takeCalls(), "sync 11 1000 500, sync 13 1000 500");
}

}  // namespace
