#include "messaging/extensions.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/depth_capture.h"
#include "image/object_id_capture.h"
#include "messaging/eye_capture.h"
#include "messaging/instance.h"
#include "platform/platform.h"
#include "render/camera_model.h"
#include "render/frame_renderer.h"
#include "scene/camera_view.h"
#include "scene/rig_settings.h"
#include "wire/envelope.h"
#include "wire/extension_messages.h"

namespace {

CameraInfo describeCamera(const Instance& instance, int width, int height, int depthBits) {
  const RigSettings& rig = instance.rigSettings;
  const RigPose& rigPose = instance.rigPose;
  const bool rightEye = instance.role == ROLE_RIGHT_CAMERA;
  CameraInfo info = {};
  // The lowest version that says all, so that programs knowing only an earlier one keep working.
  info.version = rigIsPlainAt(rig, rigPose) ? 1 : rigIsLevel(rigPose) ? 2 : kCameraInfoVersion;
  info.width = width;
  info.stride = strideForWidth(width);
  info.height = height;
  info.depthBits = depthBits;
  info.pose = {rigPose.rigX, rigPose.rigY, rigPose.heading};
  info.focalLength = focalLengthFor(rig, height);
  info.centreX = (width - 1) / 2.0;
  info.centreY = (height - 1) / 2.0;
  info.eyeOffset = rightEye ? rig.baseline / 2 : -rig.baseline / 2;
  info.nearPlane = kNearPlane;
  info.farPlane = kFarPlane;
  info.eyeHeight = rigPose.height;
  if (rightEye) {
    info.eyeYaw = rig.rightEyeYaw;
    info.eyePitch = rig.rightEyePitch;
    info.eyeRoll = rig.rightEyeRoll;
  }
  eyeRotation(rig, rightEye, info.rotation);
  info.noise = rig.noise;
  info.noiseSeed = rig.noiseSeed;
  info.rigPitch = rigPose.pitch;
  info.rigRoll = rigPose.roll;
  return info;
}

// The record as its version has it: each version is the start of the next.
uint32_t sizeOnWire(const CameraInfo& info) {
  if (info.version == 1) return kCameraInfoV1Size;
  return info.version == 2 ? kCameraInfoV2Size : static_cast<uint32_t>(sizeof info);
}

void post(InstanceRole role, HWND client, HWND window, uintptr_t code, size_t length,
          const void* payload, std::shared_ptr<const void> keepAlive = nullptr) {
  const COPYDATASTRUCT message = makeCopyData(code + role, static_cast<uint32_t>(length), payload);
  postCopyData(client, window, message, std::move(keepAlive));
}

// Colour, depth and object ids of one drawing, owned by the sends that carry them.
struct DrawnFrame {
  CaptureImage colour = {};
  std::vector<float> depth;
  std::vector<uint16_t> objectIds;
  FrameSource* source = nullptr;  // the one that captured colour, which gives it back
  ~DrawnFrame() {
    if (colour.pixels != nullptr) source->release(&colour);
  }
};

// Draws once and reads colour and depth from the same back buffer, so both show one frame. The
// ids are drawn over it at once, from the same pose and scene; the back buffer is never shown
// without a frame drawn anew before the swap.
void sendCapture(Instance& instance, HWND window, HWND client, bool withIds) {
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  const CameraView view = currentCameraView(instance, width, height);
  const auto frame = std::make_shared<DrawnFrame>();
  frame->source = instance.frameSource;
  if (frame->source != nullptr) {
    frame->source->draw(view);
    captureEyeFrame(*frame->source, view, &frame->colour);
  }
  const bool haveDepth = captureDepth(&frame->depth, width, height, kNearPlane, kFarPlane);
  bool haveIds = true;
  if (withIds) {
    drawObjectIds(view);
    haveIds = captureObjectIds(&frame->objectIds, width, height);
  }
  const uint64_t colourBytes = static_cast<uint64_t>(frame->colour.stride) * frame->colour.height;
  const uint64_t depthBytes = frame->depth.size() * sizeof(float);
  // A frame that can't be had or sent whole goes out as an empty one, never as a part.
  if (frame->colour.pixels == nullptr || !haveDepth || !haveIds || colourBytes > kMaxPayload ||
      depthBytes > kMaxPayload) {
    width = height = 0;
  }
  const CameraInfo info = describeCamera(instance, width, height, depthBufferBits());
  post(instance.role, client, window, MSG_EXT_CAMERA_INFO, sizeOnWire(info), &info);
  const bool empty = width == 0 || height == 0;
  post(instance.role, client, window, MSG_EXT_COLOUR, empty ? 0 : colourBytes,
       empty ? nullptr : frame->colour.pixels, frame);
  post(instance.role, client, window, MSG_EXT_DEPTH, empty ? 0 : depthBytes,
       empty ? nullptr : frame->depth.data(), frame);
  if (withIds) {
    const uint64_t idBytes = frame->objectIds.size() * sizeof(uint16_t);
    post(instance.role, client, window, MSG_EXT_OBJECT_IDS, empty ? 0 : idBytes,
         empty ? nullptr : frame->objectIds.data(), frame);
  }
}

// The fields of a whole pose that are numbers; NaN keeps what the window holds.
void takeFullPose(RigPose* rigPose, const FullPoseRecord& pose) {
  const double given[6] = {pose.pose.rigX, pose.pose.rigY, pose.pose.heading,
                           pose.height,    pose.pitch,     pose.roll};
  double* held[6] = {&rigPose->rigX,   &rigPose->rigY,  &rigPose->heading,
                     &rigPose->height, &rigPose->pitch, &rigPose->roll};
  for (int i = 0; i < 6; ++i) {
    if (!std::isnan(given[i])) *held[i] = given[i];
  }
}

// A pose record: the old three fields as 1003 and 1002 set them, or a whole pose.
void takePose(RigPose* rigPose, const COPYDATASTRUCT* data) {
  if (data->lpData == nullptr || data->cbData < sizeof(RigPoseRecord)) return;
  if (data->cbData >= sizeof(FullPoseRecord)) {
    FullPoseRecord full;
    std::memcpy(&full, data->lpData, sizeof full);
    takeFullPose(rigPose, full);
    return;
  }
  RigPoseRecord pose;
  std::memcpy(&pose, data->lpData, sizeof pose);
  rigPose->rigX = pose.rigX;
  rigPose->rigY = pose.rigY;
  rigPose->heading = pose.heading;
}

}  // namespace

LRESULT handleExtensionMessage(Instance& instance, HWND window, WPARAM sender,
                               const COPYDATASTRUCT* data) {
  const bool camera = instance.role == ROLE_LEFT_CAMERA || instance.role == ROLE_RIGHT_CAMERA;
  if (data == nullptr) return 0;
  // A pose is state, as 1002 and 1003 set it: every role takes it, and it has no reply.
  if (data->dwData == MSG_EXT_SET_POSE) {
    if (data->cbData >= sizeof(FullPoseRecord)) takePose(&instance.rigPose, data);
    return 0;
  }
  // Replies go to the window the request named; a value that is no handle gets none.
  const HWND client = windowFromWParam(sender);
  if (client == 0) return 0;
  if (data->dwData == MSG_EXT_VERSION) {
    // Every role answers: the reply tells a waiting program that this window is up.
    VersionInfo info = {};
    info.protocol = kProtocolVersion;
    std::snprintf(info.benchVersion, sizeof info.benchVersion, "%s", OCULANT_VERSION);
    post(instance.role, client, window, MSG_EXT_VERSION_INFO, sizeof info, &info);
    return 0;
  }
  if (!camera) return 0;
  if (data->dwData == MSG_EXT_CAPTURE || data->dwData == MSG_EXT_CAPTURE_WITH_IDS) {
    takePose(&instance.rigPose, data);
    sendCapture(instance, window, client, data->dwData == MSG_EXT_CAPTURE_WITH_IDS);
  } else if (data->dwData == MSG_EXT_DESCRIBE) {
    int width = 0;
    int height = 0;
    getClientRect(window, &width, &height);
    const CameraInfo info = describeCamera(instance, width, height, depthBufferBits());
    post(instance.role, client, window, MSG_EXT_CAMERA_INFO, sizeOnWire(info), &info);
  }
  return 0;
}
