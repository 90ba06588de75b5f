#include "messaging/extensions.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/depth_capture.h"
#include "image/frame_capture.h"
#include "image/object_id_capture.h"
#include "platform/envelope.h"
#include "platform/platform.h"
#include "render/camera_model.h"
#include "render/frame_renderer.h"
#include "scene/scene_state.h"
#include "wire/extension_messages.h"

namespace {

constexpr double kPi = 3.141592653589793;

CameraInfo describeCamera(int width, int height, int depthBits) {
  CameraInfo info = {};
  info.version = kCameraInfoVersion;
  info.width = width;
  info.stride = strideForWidth(width);
  info.height = height;
  info.depthBits = depthBits;
  info.pose = {rigPose.rigX, rigPose.rigY, rigPose.heading};
  // The projection spans the vertical field of view over the client height, with square pixels.
  info.focalLength = (height / 2.0) / std::tan(kFieldOfViewY / 2.0 * kPi / 180.0);
  info.centreX = (width - 1) / 2.0;
  info.centreY = (height - 1) / 2.0;
  info.eyeOffset = role == ROLE_RIGHT_CAMERA ? kBaseline / 2 : -kBaseline / 2;
  info.nearPlane = kNearPlane;
  info.farPlane = kFarPlane;
  return info;
}

void post(HWND client, HWND window, uintptr_t code, size_t length, const void* payload,
          std::shared_ptr<const void> keepAlive = nullptr) {
  const COPYDATASTRUCT message = makeCopyData(code + role, static_cast<uint32_t>(length), payload);
  postCopyData(client, window, message, std::move(keepAlive));
}

// Colour, depth and object ids of one drawing, owned by the sends that carry them.
struct DrawnFrame {
  CaptureImage colour = {};
  std::vector<float> depth;
  std::vector<uint16_t> objectIds;
  ~DrawnFrame() {
    if (colour.pixels != nullptr) freeCaptureImage(&colour);
  }
};

// Draws once and reads colour and depth from the same back buffer, so both show one frame. The
// ids are drawn over it at once, from the same pose and scene; the back buffer is never shown
// without a frame drawn anew before the swap.
void sendCapture(HWND window, HWND client, bool withIds) {
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  drawFrame();
  const auto frame = std::make_shared<DrawnFrame>();
  captureFrame(&frame->colour, width, height);
  const bool haveDepth = captureDepth(&frame->depth, width, height, kNearPlane, kFarPlane);
  bool haveIds = true;
  if (withIds) {
    drawObjectIds();
    haveIds = captureObjectIds(&frame->objectIds, width, height);
  }
  const uint64_t colourBytes = static_cast<uint64_t>(frame->colour.stride) * frame->colour.height;
  const uint64_t depthBytes = frame->depth.size() * sizeof(float);
  // A frame that can't be had or sent whole goes out as an empty one, never as a part.
  if (frame->colour.pixels == nullptr || !haveDepth || !haveIds || colourBytes > kMaxPayload ||
      depthBytes > kMaxPayload) {
    width = height = 0;
  }
  const CameraInfo info = describeCamera(width, height, depthBufferBits());
  post(client, window, MSG_EXT_CAMERA_INFO, sizeof info, &info);
  const bool empty = width == 0 || height == 0;
  post(client, window, MSG_EXT_COLOUR, empty ? 0 : colourBytes,
       empty ? nullptr : frame->colour.pixels, frame);
  post(client, window, MSG_EXT_DEPTH, empty ? 0 : depthBytes, empty ? nullptr : frame->depth.data(),
       frame);
  if (withIds) {
    const uint64_t idBytes = frame->objectIds.size() * sizeof(uint16_t);
    post(client, window, MSG_EXT_OBJECT_IDS, empty ? 0 : idBytes,
         empty ? nullptr : frame->objectIds.data(), frame);
  }
}

void takePose(const COPYDATASTRUCT* data) {
  if (data->lpData == nullptr || data->cbData < sizeof(RigPoseRecord)) return;
  RigPoseRecord pose;
  std::memcpy(&pose, data->lpData, sizeof pose);
  rigPose.rigX = pose.rigX;
  rigPose.rigY = pose.rigY;
  rigPose.heading = pose.heading;
}

}  // namespace

LRESULT handleExtensionMessage(HWND window, WPARAM sender, const COPYDATASTRUCT* data) {
  const bool camera = role == ROLE_LEFT_CAMERA || role == ROLE_RIGHT_CAMERA;
  // Replies go to the window the request named; a value that is no handle gets none.
  const HWND client = windowFromWParam(sender);
  if (data == nullptr || !camera || client == 0) return 0;
  if (data->dwData == MSG_EXT_CAPTURE || data->dwData == MSG_EXT_CAPTURE_WITH_IDS) {
    takePose(data);
    sendCapture(window, client, data->dwData == MSG_EXT_CAPTURE_WITH_IDS);
  } else if (data->dwData == MSG_EXT_DESCRIBE) {
    int width = 0;
    int height = 0;
    getClientRect(window, &width, &height);
    const CameraInfo info = describeCamera(width, height, depthBufferBits());
    post(client, window, MSG_EXT_CAMERA_INFO, sizeof info, &info);
  }
  return 0;
}
