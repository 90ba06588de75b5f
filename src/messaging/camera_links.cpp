#include "messaging/camera_links.h"

#include <cstring>

#include "messaging/instance_messages.h"
#include "platform/platform.h"
#include "scene/scene_state.h"

namespace {

const char* const kCameraClasses[2] = {kLeftCameraClass, kRightCameraClass};

// What the scene knows of one camera.
struct CameraLink {
  HWND window = 0;      // the camera window last seen
  bool seen = false;    // looked for at least once
  bool stale = false;   // the window may not hold the scene's pose
  bool failed = false;  // the last send to it was not answered
  uint32_t failedAt = 0;
};

CameraLink links[2];
uint32_t lastCheck = 0;
bool checkedOnce = false;

bool atStartPose() {
  return std::memcmp(&rigPose, &kStartPose, sizeof rigPose) == 0;
}

bool isPoseChange(uintptr_t code) {
  return code == MSG_HEADING || code == MSG_RIG_XY;
}

// Notes the window now holding the camera's class. Windows found at the scene's first look
// may be left over from an earlier scene and hold any pose; a window that appears later
// starts from the start pose and needs the scene's only when the rig has moved.
void observe(CameraLink& link, HWND window) {
  if (link.seen && window == link.window) return;
  link.stale = window != 0 && (!link.seen || !atStartPose());
  link.window = window;
  link.seen = true;
  link.failed = false;
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

// The whole pose, position before heading as a drive step and a turn send them.
bool sendPose(CameraLink& link, HWND sender) {
  const double position[2] = {rigPose.rigX, rigPose.rigY};
  const COPYDATASTRUCT positionMessage = makeCopyData(MSG_RIG_XY, kRigXyPayloadSize, position);
  const COPYDATASTRUCT headingMessage =
      makeCopyData(MSG_HEADING, kHeadingPayloadSize, &rigPose.heading);
  if (!send(link, sender, positionMessage, kPoseAnswerMs) ||
      !send(link, sender, headingMessage, kPoseAnswerMs)) {
    return false;
  }
  link.stale = false;
  return true;
}

void sendToSceneCamera(CameraLink& link, const COPYDATASTRUCT& data, HWND sender) {
  if (data.dwData != MSG_QUIT && link.stale) {
    // A camera that missed changes is brought to the pose first; one that still does not
    // answer is left alone until it is due again, so it costs the scene one short wait.
    if (!retryDue(link) || !sendPose(link, sender)) return;
    if (isPoseChange(data.dwData)) return;  // the pose just sent includes this change
  }
  send(link, sender, data, isPoseChange(data.dwData) ? kPoseAnswerMs : kCommandAnswerMs);
}

}  // namespace

void sendToCameras(uintptr_t code, uint32_t length, const void* payload, HWND sender) {
  const COPYDATASTRUCT data = makeCopyData(code, length, payload);
  // The left camera is always served first.
  for (int camera = 0; camera < 2; ++camera) {
    const HWND window = findWindow(kCameraClasses[camera]);
    if (role != ROLE_SCENE) {
      if (window != 0) sendCopyDataTimeout(window, sender, data, kCommandAnswerMs);
      continue;
    }
    CameraLink& link = links[camera];
    observe(link, window);
    if (window != 0) sendToSceneCamera(link, data, sender);
  }
}

void syncCameras(HWND sender) {
  if (role != ROLE_SCENE) return;
  const uint32_t now = tickCount();
  if (checkedOnce && now - lastCheck < kSyncCheckMs) return;
  checkedOnce = true;
  lastCheck = now;
  for (int camera = 0; camera < 2; ++camera) {
    CameraLink& link = links[camera];
    observe(link, findWindow(kCameraClasses[camera]));
    if (link.window != 0 && link.stale && retryDue(link)) sendPose(link, sender);
  }
}

void resetCameraLinks() {
  links[0] = CameraLink();
  links[1] = CameraLink();
  checkedOnce = false;
  lastCheck = 0;
}
