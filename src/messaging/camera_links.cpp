#include "messaging/camera_links.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

#include "messaging/instance.h"
#include "messaging/instance_messages.h"
#include "platform/platform.h"
#include "wire/extension_messages.h"

namespace {

const char* const kCameraClasses[2] = {kLeftCameraClass, kRightCameraClass};
const char* const kCameraNames[2] = {"left", "right"};
const char* const kSavedFiles[2] = {"image1.bmp", "image2.bmp"};

bool atStartPose(const Instance& instance) {
  const RigPose start = rigStartPose(instance.rigSettings);
  return std::memcmp(&instance.rigPose, &start, sizeof start) == 0;
}

// Height, pitch and roll as every window starts with them: the messages that always carried
// the pose then carry all of it.
bool atStartAttitude(const Instance& instance) {
  const RigPose& rigPose = instance.rigPose;
  return rigPose.height == rigStartPose(instance.rigSettings).height && rigIsLevel(rigPose);
}

FullPoseRecord wholePose(const RigPose& rigPose) {
  return {
      {rigPose.rigX, rigPose.rigY, rigPose.heading}, rigPose.height, rigPose.pitch, rigPose.roll};
}

bool isPoseChange(uintptr_t code) {
  return code == MSG_HEADING || code == MSG_RIG_XY;
}

size_t savesWaiting(const CameraLink& link) {
  return static_cast<size_t>(
      std::count_if(link.waiting.begin(), link.waiting.end(),
                    [](const CameraCommand& c) { return c.code == MSG_SAVE_FRAME; }));
}

// The saves of a camera that will never take them: its file and the other camera's may then
// show different poses, which the user must hear of. A quit needs no word when its window is
// gone, only when the window may still run.
void reportLost(int camera, const CameraCommand& command, const char* why) {
  if (command.code == MSG_SAVE_FRAME) {
    std::fprintf(stderr,
                 "oculant: %s was not saved: the %s camera %s; image1.bmp and image2.bmp may "
                 "not be one pair\n",
                 kSavedFiles[camera], kCameraNames[camera], why);
  } else {
    std::fprintf(stderr, "oculant: the %s camera did not take the quit: it %s\n",
                 kCameraNames[camera], why);
  }
}

// Notes the window now holding the camera's class. Windows found at the scene's first look
// may be left over from an earlier scene and hold any pose; a window that appears later
// starts from the start pose and needs the scene's only when the rig has moved. Commands kept
// for a window that has gone went with it.
void observe(Instance& instance, int camera, HWND window) {
  CameraLink& link = instance.cameraLinks.links[camera];
  if (link.seen && window == link.window) return;
  for (const CameraCommand& command : link.waiting) {
    if (command.code == MSG_SAVE_FRAME) reportLost(camera, command, "ended before it took it");
  }
  link.waiting.clear();
  link.stale = window != 0 && (!link.seen || !atStartPose(instance));
  link.window = window;
  link.seen = true;
  link.failed = false;
}

// Milliseconds until the closing instance gives up, 0 once it has (the clock wraps around).
uint32_t closingTimeLeft(const CameraLinks& cameras) {
  const uint32_t left = cameras.closingEnd - tickCount();
  return left <= kClosingBoundMs ? left : 0;
}

int closingTimeoutMs(const CameraLinks& cameras) {
  return static_cast<int>(
      std::max<uint32_t>(1, std::min<uint32_t>(closingTimeLeft(cameras), kClosingAnswerMs)));
}

bool retryDue(const CameraLink& link) {
  return !link.failed || tickCount() - link.failedAt >= kRetryMs;
}

bool send(CameraLink& link, HWND sender, const COPYDATASTRUCT& data, int timeoutMs) {
  if (sendCopyDataTimeout(link.window, sender, data, timeoutMs)) {
    link.failed = false;
    return true;
  }
  link.stale = true;
  link.failed = true;
  link.failedAt = tickCount();
  return false;
}

// The whole pose, position before heading as a drive step and a turn send them; height, pitch
// and roll after them when they are not the start's.
bool sendPose(const Instance& instance, CameraLink& link, HWND sender) {
  const RigPose& rigPose = instance.rigPose;
  const double position[2] = {rigPose.rigX, rigPose.rigY};
  const COPYDATASTRUCT positionMessage = makeCopyData(MSG_RIG_XY, kRigXyPayloadSize, position);
  const COPYDATASTRUCT headingMessage =
      makeCopyData(MSG_HEADING, kHeadingPayloadSize, &rigPose.heading);
  if (!send(link, sender, positionMessage, kPoseAnswerMs) ||
      !send(link, sender, headingMessage, kPoseAnswerMs)) {
    return false;
  }
  if (!atStartAttitude(instance)) {
    const FullPoseRecord pose = wholePose(rigPose);
    if (!send(link, sender, makeCopyData(MSG_EXT_SET_POSE, sizeof pose, &pose), kPoseAnswerMs)) {
      return false;
    }
  }
  link.stale = false;
  return true;
}

// Sends the waiting commands in order until one is not taken; the ones after it wait with it.
void sendCommands(CameraLink& link, HWND sender, int timeoutMs) {
  while (!link.waiting.empty()) {
    const CameraCommand& command = link.waiting.front();
    const COPYDATASTRUCT data = command.code == MSG_SAVE_FRAME
                                    ? makeCopyData(MSG_SAVE_FRAME, command.saveSize, &command.save)
                                    : makeCopyData(command.code, 0, nullptr);
    if (!send(link, sender, data, timeoutMs)) return;
    link.waiting.pop_front();
  }
}

// A camera that missed something, once it is due: while the scene runs the pose first (its
// short wait tells a camera that still does not answer at little cost), then the commands in
// order. A closing instance has no pose to keep and sends the commands alone.
void catchUp(const Instance& instance, CameraLink& link, HWND sender, bool closing) {
  if (link.window == 0 || !retryDue(link)) return;
  const bool quitNext = !link.waiting.empty() && link.waiting.front().code == MSG_QUIT;
  if (instance.role == ROLE_SCENE && !closing && link.stale && !quitNext &&
      !sendPose(instance, link, sender)) {
    return;
  }
  sendCommands(link, sender, closing ? closingTimeoutMs(instance.cameraLinks) : kCommandAnswerMs);
}

CameraCommand commandFor(Instance& instance, uintptr_t code) {
  CameraCommand command = {code, {}, kSaveFramePayloadSize};
  if (code == MSG_SAVE_FRAME) {
    const RigPose& rigPose = instance.rigPose;
    command.save.save = {rigPose.rigX, rigPose.rigY, rigPose.heading,
                         ++instance.cameraLinks.lastSaveNumber, 0};
    if (!atStartAttitude(instance)) {
      command.save.height = rigPose.height;
      command.save.pitch = rigPose.pitch;
      command.save.roll = rigPose.roll;
      command.saveSize = kFullSaveFramePayloadSize;
    }
  }
  return command;
}

void sendToSceneCamera(const Instance& instance, CameraLink& link, const COPYDATASTRUCT& data,
                       HWND sender) {
  if (link.stale) {
    // A camera that missed changes is brought to the pose first; one that still does not
    // answer is left alone until it is due again, so it costs the scene one short wait.
    if (!retryDue(link) || !sendPose(instance, link, sender)) return;
    if (isPoseChange(data.dwData)) return;  // the pose just sent includes this change
  }
  send(link, sender, data, kPoseAnswerMs);
}

}  // namespace

void sendToCameras(Instance& instance, uintptr_t code, uint32_t length, const void* payload,
                   HWND sender) {
  CameraLinks& cameras = instance.cameraLinks;
  const COPYDATASTRUCT data = makeCopyData(code, length, payload);
  const bool isCommand =
      code == MSG_QUIT || (code == MSG_SAVE_FRAME && instance.role == ROLE_SCENE);
  const CameraCommand command = isCommand ? commandFor(instance, code) : CameraCommand{code, {}, 0};
  // The left camera is always served first.
  for (int camera = 0; camera < 2; ++camera) {
    const HWND window = findWindow(kCameraClasses[camera]);
    observe(instance, camera, window);
    if (window == 0) continue;
    CameraLink& link = cameras.links[camera];
    if (!isCommand) {
      if (instance.role == ROLE_SCENE) {
        sendToSceneCamera(instance, link, data, sender);
      } else {
        sendCopyDataTimeout(window, sender, data, kCommandAnswerMs);
      }
      continue;
    }
    if (code == MSG_SAVE_FRAME && savesWaiting(link) >= kMaxWaitingSaves) {
      reportLost(camera, command, "has too many saves waiting");
      continue;
    }
    // Behind the commands it has not taken yet, so that it takes them in the order given.
    link.waiting.push_back(command);
    catchUp(instance, link, sender, cameras.closingPhase);
  }
}

void syncCameras(Instance& instance, HWND sender) {
  if (instance.role != ROLE_SCENE) return;
  CameraLinks& cameras = instance.cameraLinks;
  const uint32_t now = tickCount();
  if (cameras.checkedOnce && now - cameras.lastCheck < kSyncCheckMs) return;
  cameras.checkedOnce = true;
  cameras.lastCheck = now;
  for (int camera = 0; camera < 2; ++camera) {
    observe(instance, camera, findWindow(kCameraClasses[camera]));
    CameraLink& link = cameras.links[camera];
    if (link.stale || !link.waiting.empty()) catchUp(instance, link, sender, false);
  }
}

void finishCameraCommands(Instance& instance, HWND sender) {
  CameraLinks& cameras = instance.cameraLinks;
  char closingGiveUp[80];
  std::snprintf(closingGiveUp, sizeof closingGiveUp,
                "did not answer within %u s and may still be running", kClosingBoundMs / 1000);
  cameras.closingPhase = true;
  cameras.closingEnd = tickCount() + kClosingBoundMs;
  for (;;) {
    bool waiting = false;
    for (int camera = 0; camera < 2; ++camera) {
      observe(instance, camera, findWindow(kCameraClasses[camera]));
      CameraLink& link = cameras.links[camera];
      if (link.waiting.empty()) continue;
      catchUp(instance, link, sender, true);
      waiting = waiting || !link.waiting.empty();
    }
    if (!waiting || closingTimeLeft(cameras) == 0) break;
    // Input still queued would cut every wait short: take it, it goes to no window now.
    MSG ignored;
    peekMessage(&ignored);
    waitForMessage(static_cast<int>(std::min(kRetryMs, closingTimeLeft(cameras))));
  }
  cameras.closingPhase = false;
  for (int camera = 0; camera < 2; ++camera) {
    for (const CameraCommand& command : cameras.links[camera].waiting) {
      reportLost(camera, command, closingGiveUp);
    }
    cameras.links[camera].waiting.clear();
  }
}

CameraMessages& linkedCameras() {
  class LinkedCameras : public CameraMessages {
    void send(Instance& instance, uintptr_t code, uint32_t length, const void* payload,
              HWND sender) override {
      sendToCameras(instance, code, length, payload, sender);
    }
  };
  static LinkedCameras cameras;
  return cameras;
}
