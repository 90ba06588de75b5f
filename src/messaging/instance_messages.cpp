#include "messaging/instance_messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/bmp_writer.h"
#include "messaging/instance.h"
#include "messaging/latest_frame.h"
#include "platform/platform.h"
#include "scene/camera_view.h"

namespace {

void sendFrame(Instance& instance, HWND window, WPARAM requester) {
  // Replies go to the window the request named; a value that is no handle gets none.
  const HWND client = windowFromWParam(requester);
  if (client == 0) return;
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  // The frame belongs to these sends until they end, whatever is drawn meanwhile.
  const std::shared_ptr<const CaptureImage> image =
      latestFrame(instance, currentCameraView(instance, width, height));
  if (image == nullptr) return;
  const FrameHeader header = {0, image->width, image->stride, image->height, 0};
  const COPYDATASTRUCT headerMessage =
      makeCopyData(MSG_FRAME_HEADER + instance.role, sizeof header, &header);
  postCopyData(client, window, headerMessage);
  const COPYDATASTRUCT pixelMessage = makeCopyData(
      MSG_FRAME_PIXELS + instance.role,
      static_cast<uint32_t>(image->stride) * static_cast<uint32_t>(image->height), image->pixels);
  postCopyData(client, window, pixelMessage, image);
}

// A save with a payload names the pose it was asked at: the frame of that pose is written, so a
// save taken late still pairs with the other camera's, while the window keeps showing its own.
void saveOwnFrame(Instance& instance, HWND window, WPARAM sender, const COPYDATASTRUCT& data) {
  SavesTaken& taken = instance.savesTaken;
  const bool numbered = data.lpData != nullptr && data.cbData >= kSaveFramePayloadSize;
  FullSaveFrameRequest full = {};
  SaveFrameRequest& request = full.save;
  if (numbered) {
    std::memcpy(&full, data.lpData, std::min<size_t>(data.cbData, sizeof full));
    if (sender == taken.lastSaveSender && request.number <= taken.lastSaveNumber) return;
    taken.lastSaveSender = sender;
    taken.lastSaveNumber = request.number;
  }
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  // Without the longer record the scene's rig had its start attitude.
  RigPose asked = rigStartPose(instance.rigSettings);
  asked.rigX = request.rigX;
  asked.rigY = request.rigY;
  asked.heading = request.heading;
  if (data.cbData >= kFullSaveFramePayloadSize) {
    asked.height = full.height;
    asked.pitch = full.pitch;
    asked.roll = full.roll;
  }
  const CameraView view = numbered ? cameraViewAt(instance, asked, width, height)
                                   : currentCameraView(instance, width, height);
  const std::shared_ptr<const CaptureImage> image = latestFrame(instance, view);
  if (image == nullptr) return;
  // The save has no reply on the wire, so standard error is the only place to say it failed.
  const char* fileName = instance.role == ROLE_LEFT_CAMERA ? "image1.bmp" : "image2.bmp";
  std::string reason;
  if (writeBmp(fileName, *image, &reason) != 0) {
    std::fprintf(stderr, "oculant: cannot save %s: %s\n", fileName, reason.c_str());
  }
}

}  // namespace

LRESULT handleInstanceMessage(Instance& instance, HWND window, WPARAM sender,
                              const COPYDATASTRUCT* data) {
  if (data == nullptr) return 0;
  const bool camera = instance.role == ROLE_LEFT_CAMERA || instance.role == ROLE_RIGHT_CAMERA;
  switch (data->dwData) {
    case MSG_QUIT:
      if (instance.quitHandler != nullptr) instance.quitHandler(window);
      break;
    case MSG_SAVE_FRAME:
      if (camera) saveOwnFrame(instance, window, sender, *data);
      break;
    case MSG_HEADING:
      // A payload shorter than the record is ignored rather than read past its end.
      if (data->lpData != nullptr && data->cbData >= kHeadingPayloadSize) {
        std::memcpy(&instance.rigPose.heading, data->lpData, kHeadingPayloadSize);
      }
      break;
    case MSG_RIG_XY:
      if (data->lpData != nullptr && data->cbData >= kRigXyPayloadSize) {
        const char* bytes = static_cast<const char*>(data->lpData);
        std::memcpy(&instance.rigPose.rigX, bytes, 8);
        std::memcpy(&instance.rigPose.rigY, bytes + 8, 8);
      }
      break;
    case MSG_FRAME_REQUEST:
      if (camera) sendFrame(instance, window, sender);
      break;
    default:
      break;
  }
  return 0;
}
