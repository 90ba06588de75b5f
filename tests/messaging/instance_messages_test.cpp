// The message handlers and the camera links on the null platform. The frame source and the life
// cycle's close are recording stand-ins: the real ones need GL or end the process. Saved files
// go to a folder of the test's own.
#include "messaging/instance_messages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "messaging/frame_source.h"
#include "messaging/instance.h"
#include "messaging/latest_frame.h"
#include "platform/null/null_platform.h"

namespace {

std::vector<std::string> calls;
bool captureFails = false;
const void* capturedPixels = nullptr;
std::vector<const void*> livePixels;  // captured and not yet freed
RigPose drawnAt = {};                 // the pose of the last frame drawn

// Draws and captures by recording: the real ones need GL.
class RecordingSource : public FrameSource {
 public:
  void draw(const CameraView& view) override {
    calls.push_back("draw");
    drawnAt = view.pose;
  }
  void capture(CaptureImage* image, int width, int height) override {
    calls.push_back("capture " + std::to_string(width) + "x" + std::to_string(height));
    *image = {nullptr, width, (width * 3 + 3) / 4 * 4, height, image->reserved};
    if (captureFails) return;
    image->pixels = static_cast<uint8_t*>(std::calloc(size_t(image->stride) * height + 1, 1));
    capturedPixels = image->pixels;
    livePixels.push_back(image->pixels);
  }
  void release(CaptureImage* image) override {
    const auto live = std::find(livePixels.begin(), livePixels.end(), image->pixels);
    calls.push_back(live != livePixels.end() ? "free" : "free of a stranger");
    if (live != livePixels.end()) livePixels.erase(live);
    std::free(image->pixels);
    image->pixels = nullptr;
  }
} source;

// Notes each frame file saved since the last look as "write <name> <width>x<height>" and
// removes it.
void noteSavedFiles() {
  for (const char* fileName : {"image1.bmp", "image2.bmp"}) {
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) continue;
    unsigned char header[26] = {};
    const bool whole = std::fread(header, 1, sizeof header, file) == sizeof header;
    std::fclose(file);
    std::remove(fileName);
    const int width = whole ? header[18] | header[19] << 8 : -1;
    const int height = whole ? header[22] | header[23] << 8 : -1;
    calls.push_back(std::string("write ") + fileName + " " + std::to_string(width) + "x" +
                    std::to_string(height));
  }
}

constexpr HWND kRequester = 900;
HWND window = 0;               // this process's window, 320 x 240
Instance* instance = nullptr;  // a fresh one for each start()

// Hands the instance a message and notes the files it saved.
LRESULT handle(uintptr_t code, const void* payload = nullptr, uint32_t length = 0,
               WPARAM sender = kRequester, Instance* to = nullptr) {
  const COPYDATASTRUCT data = {code, length, payload};
  const LRESULT result = handleInstanceMessage(to ? *to : *instance, window, sender, &data);
  noteSavedFiles();
  return result;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// The messages sent to other windows since the last look, as "<target> <code> <timeout>", a
// numbered save followed by " #<number>@<heading>"; or, for codesAndSizes, as
// "<code>:<payload bytes>".
std::string takeSends(bool codesAndSizes = false) {
  std::vector<std::string> parts;
  for (const NullSentMessage& m : nullSentMessages()) {
    SaveFrameRequest save;
    if (codesAndSizes) {
      parts.push_back(std::to_string(m.code) + ":" + std::to_string(m.payload.size()));
      continue;
    }
    parts.push_back(std::to_string(m.target) + " " + std::to_string(m.code) + " " +
                    std::to_string(m.timeoutMs));
    if (m.code != MSG_SAVE_FRAME || m.payload.size() != sizeof save) continue;
    std::memcpy(&save, m.payload.data(), sizeof save);
    parts.back() += " #" + std::to_string(save.number) + "@" + std::to_string(int(save.heading));
  }
  nullSentMessages().clear();
  return joined(parts);
}

class InstanceMessages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chdir(folder), 0);
    registerWindowClass("handler", [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    window = createWindow("handler", "handler", 0, 0, 320, 240);
  }
  static void TearDownTestSuite() {
    destroyWindow(window);
    EXPECT_EQ(chdir("/"), 0);
    EXPECT_EQ(rmdir(folder), 0) << "a file left behind";
  }
  static char folder[];
  void start(InstanceRole instanceRole) {
    nullReset();
    current = std::make_unique<Instance>();
    instance = current.get();
    instance->quitHandler = [](HWND w) { calls.push_back("close " + std::to_string(w)); };
    setFrameSource(*instance, &source);
    instance->role = instanceRole;
    calls.clear();
    captureFails = false;
    nullResizeWindow(window, 320, 240);
  }
  // A scene at the start pose with both cameras brought in step (windows there before the
  // scene's first look may hold any pose), the left one then no longer answering.
  void startSceneWithStoppedLeft() {
    start(ROLE_SCENE);
    instance->rigPose = kStartPose;
    leftPeer = nullAddPeer("oculant1");
    left = std::to_string(leftPeer);
    rightPeer = nullAddPeer("oculant2");
    right = std::to_string(rightPeer);
    syncCameras(*instance, window);
    EXPECT_EQ(takeSends(), left + " 1003 50, " + left + " 1002 50, " + right + " 1003 50, " +
                               right + " 1002 50");
    nullSetPeerAnswers(leftPeer, false);
  }
  std::unique_ptr<Instance> current;
  HWND leftPeer = 0, rightPeer = 0;
  std::string left, right;
};

char InstanceMessages::folder[] = "/tmp/oculant-messages-XXXXXX";

TEST_F(InstanceMessages, EachCodeInEachRole) {
  const std::string self = std::to_string(window);
  const std::string requester = std::to_string(kRequester);
  const std::string drawn = "draw, capture 320x240";
  const struct {
    InstanceRole role;
    uintptr_t code;
    WPARAM sender;
    std::string calls;
    std::string sends;
  } cases[] = {
      {ROLE_SCENE, MSG_QUIT, kRequester, "close " + self, ""},
      {ROLE_LEFT_CAMERA, MSG_QUIT, kRequester, "close " + self, ""},
      {ROLE_RIGHT_CAMERA, MSG_QUIT, kRequester, "close " + self, ""},
      {ROLE_SCENE, MSG_SAVE_FRAME, kRequester, "", ""},
      {ROLE_LEFT_CAMERA, MSG_SAVE_FRAME, kRequester, drawn + ", write image1.bmp 320x240", ""},
      {ROLE_RIGHT_CAMERA, MSG_SAVE_FRAME, kRequester, drawn + ", write image2.bmp 320x240", ""},
      {ROLE_SCENE, MSG_FRAME_REQUEST, kRequester, "", ""},
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, kRequester, drawn,
       requester + " 2101 -1, " + requester + " 2201 -1"},
      {ROLE_RIGHT_CAMERA, MSG_FRAME_REQUEST, kRequester, drawn,
       requester + " 2102 -1, " + requester + " 2202 -1"},
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, 0, "", ""},  // a requester that can be no window
      {ROLE_LEFT_CAMERA, MSG_FRAME_REQUEST, WPARAM(1) << 40, "", ""},
      {ROLE_SCENE, 999, kRequester, "", ""},
      {ROLE_LEFT_CAMERA, 2101, kRequester, "", ""},
  };
  for (const auto& c : cases) {
    start(c.role);
    EXPECT_EQ(handle(c.code, "x", 1, c.sender), 0);
    EXPECT_EQ(joined(calls), c.calls) << "role " << c.role << " code " << c.code;
    EXPECT_EQ(takeSends(), c.sends) << "role " << c.role << " code " << c.code;
  }
}

// Pose messages set the rig pose in every role; short or missing payloads are ignored and
// longer ones read for their first bytes.
TEST_F(InstanceMessages, PoseMessagesReadOnlyWholeRecords) {
  const double pose[3] = {123.25, -3.5, 7};
  for (InstanceRole r : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    start(r);
    handle(MSG_HEADING, pose, 8);
    handle(MSG_RIG_XY, pose + 1, 24);
    handle(MSG_HEADING, pose + 1, 7);
    handle(MSG_HEADING, nullptr, 8);
    handle(MSG_RIG_XY, pose, 15);
    EXPECT_EQ(handleInstanceMessage(*instance, window, kRequester, nullptr), 0);
    EXPECT_EQ(instance->rigPose.heading, 123.25) << r;
    EXPECT_EQ(instance->rigPose.rigX, -3.5) << r;
    EXPECT_EQ(instance->rigPose.rigY, 7) << r;
    EXPECT_TRUE(calls.empty()) << r;
  }
}

// Two records in one process keep apart what each was told and what each took.
TEST_F(InstanceMessages, TwoInstancesInOneProcessShareNothing) {
  start(ROLE_LEFT_CAMERA);
  Instance other;
  other.role = ROLE_LEFT_CAMERA;
  setFrameSource(other, &source);
  const double heading = 45;
  const SaveFrameRequest save = {0, 0, 0, 1, 0};
  handle(MSG_HEADING, &heading, 8);
  handle(MSG_SAVE_FRAME, &save, sizeof save, 700);
  calls.clear();
  handle(MSG_SAVE_FRAME, &save, sizeof save, 700, &other);
  EXPECT_EQ(other.rigPose.heading, 0) << "a pose told to the other";
  EXPECT_EQ(joined(calls), "draw, capture 320x240, write image1.bmp 320x240")
      << "a save the other took";
}

TEST_F(InstanceMessages, TheFrameGoesToTheRequesterAsHeaderThenTheCaptureItself) {
  start(ROLE_LEFT_CAMERA);
  nullResizeWindow(window, 301, 7);
  handle(MSG_FRAME_REQUEST);
  std::vector<NullSentMessage>& sent = nullSentMessages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].sender, window);
  EXPECT_EQ(sent[1].sender, window);
  const unsigned char header[20] = {0, 0, 0, 0, 45, 1, 0, 0, 0x88, 3, 0, 0, 7, 0, 0, 0};
  EXPECT_EQ(sent[0].payload, std::string(reinterpret_cast<const char*>(header), 20));
  EXPECT_EQ(sent[1].payload.size(), 904u * 7);
  EXPECT_EQ(sent[1].address, capturedPixels) << "not a copy";

  // Until what it shows changes, the frame is sent again without drawing.
  calls.clear();
  handle(MSG_FRAME_REQUEST);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(sent.size(), 4u);
  instance->overviewView.spin += 5;
  handle(MSG_FRAME_REQUEST);
  EXPECT_EQ(joined(calls), "draw, capture 301x7");
  // The frame replaced stays whole until the sends that carry it are over.
  calls.clear();
  sent.erase(sent.begin(), sent.end() - 2);
  EXPECT_EQ(joined(calls), "free");

  // A minimised window sends an empty frame, a failed capture none.
  start(ROLE_LEFT_CAMERA);
  nullResizeWindow(window, 0, 0);
  handle(MSG_FRAME_REQUEST);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].payload, std::string(20, '\0'));
  EXPECT_EQ(sent[1].payload, "");
  start(ROLE_RIGHT_CAMERA);
  captureFails = true;
  handle(MSG_FRAME_REQUEST);
  EXPECT_TRUE(sent.empty());
}

// The scene keeps both cameras at its pose: a camera that does not answer costs one short wait
// and is brought to the whole pose when due, and so is one started after the rig moved.
TEST_F(InstanceMessages, SlowCamerasCostOneShortWaitAndNewWindowsGetThePose) {
  startSceneWithStoppedLeft();
  instance->rigPose.heading = 100;
  sendToCameras(*instance, MSG_HEADING, 8, &instance->rigPose.heading, window);
  EXPECT_EQ(takeSends(), left + " 1002 50, " + right + " 1002 50");
  nullSetPeerAnswers(leftPeer, true);
  nullRemovePeer(rightPeer);
  const std::string newRight = std::to_string(nullAddPeer("oculant2"));
  nullAdvanceTicks(kRetryMs);
  syncCameras(*instance, window);
  EXPECT_EQ(takeSends(), left + " 1003 50, " + left + " 1002 50, " + newRight + " 1003 50, " +
                             newRight + " 1002 50");
  // Cameras pass a quit on without any of this.
  instance->role = ROLE_LEFT_CAMERA;
  sendToCameras(*instance, MSG_QUIT, 0, nullptr, window);
  EXPECT_EQ(takeSends(), left + " 1000 500, " + newRight + " 1000 500");
}

// A save from the scene names its pose and number: the camera writes the frame of that pose (the
// window goes on showing its own) and takes each number from a sender once. The attitude is the
// one its 56 bytes name, or the start attitude for 32.
TEST_F(InstanceMessages, ANumberedSaveWritesThePoseAndAttitudeItWasAskedAtOnce) {
  start(ROLE_LEFT_CAMERA);
  const RigPose shown = {5, 6, 7, 3, 45, 45};
  const struct {
    WPARAM sender;
    uint32_t number, size;
    bool written;
  } cases[] = {{700, 1, 32, true},  {700, 1, 32, false}, {700, 2, 56, true},
               {700, 1, 56, false}, {701, 1, 32, true},  {701, 3, 56, true}};
  for (const auto& c : cases) {
    instance->rigPose = shown;
    forgetLatestFrame(*instance);
    calls.clear();
    drawnAt = {};
    const FullSaveFrameRequest save = {{1.5, -2, 30 + double(c.number), c.number, 0}, 0.9, -12, 6};
    handle(MSG_SAVE_FRAME, &save, c.size, c.sender);
    const std::string what = "sender " + std::to_string(c.sender) + " #" + std::to_string(c.number);
    EXPECT_EQ(joined(calls), c.written ? "draw, capture 320x240, write image1.bmp 320x240" : "")
        << what;
    const RigPose asked = c.size == 56 ? RigPose{1.5, -2, 30.0 + c.number, 0.9, -12, 6}
                                       : RigPose{1.5, -2, 30.0 + c.number, 0.2, 0, 0};
    if (c.written) {
      EXPECT_EQ(std::memcmp(&drawnAt, &asked, sizeof asked), 0) << what;
    }
    EXPECT_EQ(std::memcmp(&instance->rigPose, &shown, sizeof shown), 0) << what;
  }
}

// Saves and quits are commands: one a camera did not take waits, in order, and goes out when the
// camera answers again; a save that can no longer be delivered is reported.
TEST_F(InstanceMessages, CommandsACameraMissedAreSentInOrderWhenItAnswersAgain) {
  startSceneWithStoppedLeft();
  sendToCameras(*instance, MSG_SAVE_FRAME, 0, nullptr, window);
  EXPECT_EQ(takeSends(), left + " 1001 500 #1@90, " + right + " 1001 500 #1@90");
  instance->rigPose.heading = 100;
  sendToCameras(*instance, MSG_HEADING, 8, &instance->rigPose.heading, window);
  sendToCameras(*instance, MSG_SAVE_FRAME, 0, nullptr, window);
  EXPECT_EQ(takeSends(), right + " 1002 50, " + right + " 1001 500 #2@100");

  nullAdvanceTicks(kRetryMs);
  nullSetPeerAnswers(leftPeer, true);
  syncCameras(*instance, window);
  EXPECT_EQ(takeSends(), left + " 1003 50, " + left + " 1002 50, " + left + " 1001 500 #1@90, " +
                             left + " 1001 500 #2@100");
  nullAdvanceTicks(kSyncCheckMs);
  syncCameras(*instance, window);
  EXPECT_EQ(takeSends(), "") << "each taken once";

  // A camera that ends before it takes its save leaves a file that may not pair: said so.
  nullSetPeerAnswers(leftPeer, false);
  sendToCameras(*instance, MSG_SAVE_FRAME, 0, nullptr, window);
  takeSends();
  nullRemovePeer(leftPeer);
  nullAdvanceTicks(kSyncCheckMs);
  testing::internal::CaptureStderr();
  syncCameras(*instance, window);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "oculant: image1.bmp was not saved: the left camera ended before it took it; "
            "image1.bmp and image2.bmp may not be one pair\n");
}

// A quit a camera did not take is tried again once the window is gone, after the saves before
// it, until it is taken or the bound has passed; then it is reported.
TEST_F(InstanceMessages, AQuitIsRetriedAfterTheLoopWithinABound) {
  for (const bool answersLater : {true, false}) {
    startSceneWithStoppedLeft();
    sendToCameras(*instance, MSG_SAVE_FRAME, 0, nullptr, window);
    sendToCameras(*instance, MSG_QUIT, 0, nullptr, window);
    EXPECT_EQ(takeSends(),
              left + " 1001 500 #1@90, " + right + " 1001 500 #1@90, " + right + " 1000 500");
    nullSetPeerAnswers(leftPeer, answersLater);
    testing::internal::CaptureStderr();
    const uint32_t start = tickCount();
    finishCameraCommands(*instance, window);
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string sends = takeSends();
    if (answersLater) {
      EXPECT_EQ(sends, left + " 1001 2000 #1@90, " + left + " 1000 2000");
      EXPECT_EQ(errors, "");
    } else {
      EXPECT_EQ(sends.rfind(left + " 1001 2000 #1@90, " + left + " 1001 2000 #1@90", 0), 0u)
          << sends;
      EXPECT_EQ(sends.find(left + " 1000 "), std::string::npos)
          << "never before the save: " << sends;
      EXPECT_EQ(tickCount() - start, kClosingBoundMs);
      EXPECT_EQ(errors,
                "oculant: image1.bmp was not saved: the left camera did not answer within 5 s "
                "and may still be running; image1.bmp and image2.bmp may not be one pair\n"
                "oculant: the left camera did not take the quit: it did not answer within 5 s "
                "and may still be running\n");
    }
  }
}

// A scene whose rig left its start height or level attitude brings a camera back to all of its
// pose and saves at all of it; at the start attitude it sends what it always sent.
TEST_F(InstanceMessages, TheScenesAttitudeGoesWithItsPoseAndSavesOnlyWhenNotTheStart) {
  const struct {
    double height, pitch, roll;
    const char* resync;
    const char* save;
  } cases[] = {
      {0.2, 0, 0, "1003:16, 1002:8", "1001:32"},
      {0.5, 0, 0, "1003:16, 1002:8, 3005:48", "1001:56"},
      {0.2, 10, 0, "1003:16, 1002:8, 3005:48", "1001:56"},
      {0.2, 0, -4, "1003:16, 1002:8, 3005:48", "1001:56"},
  };
  for (const auto& c : cases) {
    startSceneWithStoppedLeft();
    instance->rigPose.height = c.height;
    instance->rigPose.pitch = c.pitch;
    instance->rigPose.roll = c.roll;
    sendToCameras(*instance, MSG_HEADING, 8, &instance->rigPose.heading,
                  window);  // the left camera misses it
    takeSends();
    nullAdvanceTicks(kRetryMs);
    nullSetPeerAnswers(leftPeer, true);
    syncCameras(*instance, window);
    EXPECT_EQ(takeSends(true), c.resync) << c.height << " " << c.pitch << " " << c.roll;
    sendToCameras(*instance, MSG_SAVE_FRAME, 0, nullptr, window);
    EXPECT_EQ(takeSends(true), std::string(c.save) + ", " + c.save) << c.pitch;
  }
}

}  // namespace
