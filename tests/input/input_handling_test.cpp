#include "app/input_handling.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messaging/instance.h"
#include "panel/info_log.h"

namespace {

struct SentMessage {
  uintptr_t code;
  std::string payload;
  HWND sender;
};

// Records what the input rules send to the cameras instead of sending it.
struct RecordingCameras : CameraMessages {
  std::vector<SentMessage> sent;
  void send(Instance&, uintptr_t code, uint32_t length, const void* payload, HWND sender) override {
    sent.push_back({code, std::string(static_cast<const char*>(payload), length), sender});
  }
};

constexpr HWND kWindow = 7;

class InputHandlingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearInfoLog();
    instance.cameras = &cameras;
    instance.rigPose = RigPose{0.7, 0.7, 90.0};
    instance.overviewView = {20.0, 0, 0, 0, 0, 0.5, 0.5, 6.0f, 2.5f};
  }

  void key(UINT message, WPARAM code) { handleInputMessage(instance, kWindow, message, code, 0); }
  void move(int x, int y, WPARAM keys = 0) {
    handleInputMessage(instance, kWindow, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
  }
  Instance instance;
  RecordingCameras cameras;
  std::vector<SentMessage>& sent = cameras.sent;
};

TEST_F(InputHandlingTest, ShiftAndMouseTurnTheRigTellTheCamerasAndWrapOnce) {
  key(WM_KEYDOWN, VK_SHIFT);
  move(400, 300);
  EXPECT_EQ(90.0, instance.rigPose.heading) << "the first move only records the position";
  move(380, 300);
  EXPECT_EQ(100.0, instance.rigPose.heading);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(MSG_HEADING, sent[0].code);
  EXPECT_EQ(kWindow, sent[0].sender);
  const double heading = 100.0;
  EXPECT_EQ(sent[0].payload, std::string(reinterpret_cast<const char*>(&heading), 8));

  // Coordinates are signed 16-bit: left of the window is 20 pixels of travel from x = 10.
  move(10, 0);
  instance.rigPose.heading = 355.0;
  move(-10, -3);
  EXPECT_EQ(5.0, instance.rigPose.heading);
  move(10, 0);
  EXPECT_EQ(355.0, instance.rigPose.heading);
  instance.rigPose.heading = 350.0;
  move(-10, 0);
  EXPECT_EQ(360.0, instance.rigPose.heading) << "exactly 360 stays 360";
  move(-990, 0);  // a huge turn is corrected only once
  EXPECT_EQ(360.0 + 490.0 - 360.0, instance.rigPose.heading);
}

TEST_F(InputHandlingTest, AnyKeyUpEndsShiftAndKeysRepeat) {
  key(WM_KEYDOWN, VK_SHIFT);
  key(WM_KEYDOWN, VK_F1);
  key(WM_KEYDOWN, VK_F1);  // auto-repeat
  key(WM_KEYDOWN, VK_F1);
  EXPECT_TRUE(instance.inputState.showThirdObject);
  key(WM_KEYUP, VK_F1);
  EXPECT_FALSE(instance.inputState.shiftHeld) << "F1 going up clears Shift although Shift is held";
  move(10, 10);
  move(0, 10);
  EXPECT_EQ(90.0, instance.rigPose.heading);

  key(WM_KEYDOWN, VK_F2);
  key(WM_KEYDOWN, VK_F2);
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(MSG_SAVE_FRAME, sent[1].code);
  EXPECT_TRUE(sent[1].payload.empty());
}

TEST_F(InputHandlingTest, OnlyExactSingleButtonDragsMoveTheOverview) {
  move(200, 200);
  move(180, 180, MK_LBUTTON | MK_RBUTTON);
  EXPECT_EQ(0.0, instance.overviewView.panX);
  EXPECT_EQ(0.0f, instance.overviewView.tilt);

  move(170, 170, MK_LBUTTON);
  EXPECT_GT(instance.overviewView.panX, 0.0) << "dragging left shifts the scene left";
  move(160, 180, MK_RBUTTON);
  EXPECT_EQ(6.0f, instance.overviewView.tilt);

  key(WM_KEYDOWN, VK_SHIFT);
  double panX = instance.overviewView.panX;
  move(150, 180, MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(panX, instance.overviewView.panX) << "Shift turns the rig instead";
  EXPECT_EQ(95.0, instance.rigPose.heading);
}

TEST_F(InputHandlingTest, CameraWindowsOnlyTrackTheTwoFlags) {
  instance.role = ROLE_LEFT_CAMERA;
  key(WM_KEYDOWN, VK_SHIFT);
  handleInputMessage(instance, kWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  move(100, 100, MK_LBUTTON);
  move(50, 100, MK_LBUTTON);
  key(WM_KEYDOWN, VK_F1);
  key(WM_KEYDOWN, VK_F2);
  handleInputMessage(instance, kWindow, WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, 0);
  EXPECT_TRUE(instance.inputState.shiftHeld);
  EXPECT_TRUE(instance.inputState.leftButtonHeld);
  EXPECT_FALSE(instance.inputState.showThirdObject);
  EXPECT_EQ(90.0, instance.rigPose.heading);
  EXPECT_EQ(20.0, instance.overviewView.distance);
  EXPECT_TRUE(sent.empty());
}

}  // namespace
