#include "messaging/instance_messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/bmp_writer.h"
#include "image/frame_capture.h"
#include "messaging/latest_frame.h"
#include "platform/platform.h"
#include "scene/scene_state.h"

namespace {

void (*quitHandler)(HWND window) = nullptr;

void sendFrame(HWND window, WPARAM requester) {
  // Replies go to the window the request named; a value that is no handle gets none.
  const HWND client = windowFromWParam(requester);
  if (client == 0) return;
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  // The frame belongs to these sends until they end, whatever is drawn meanwhile.
  const std::shared_ptr<const CaptureImage> image = latestFrame(width, height);
  if (image == nullptr) return;
  const FrameHeader header = {0, image->width, image->stride, image->height, 0};
  const COPYDATASTRUCT headerMessage =
      makeCopyData(MSG_FRAME_HEADER + role, sizeof header, &header);
  postCopyData(client, window, headerMessage);
  const COPYDATASTRUCT pixelMessage = makeCopyData(
      MSG_FRAME_PIXELS + role,
      static_cast<uint32_t>(image->stride) * static_cast<uint32_t>(image->height), image->pixels);
  postCopyData(client, window, pixelMessage, image);
}

void saveOwnFrame(HWND window) {
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  const std::shared_ptr<const CaptureImage> image = latestFrame(width, height);
  if (image == nullptr) return;
  // The save has no reply on the wire, so standard error is the only place to say it failed.
  const char* fileName = role == ROLE_LEFT_CAMERA ? "image1.bmp" : "image2.bmp";
  if (writeBmp(fileName, *image) != 0) {
    std::fprintf(stderr, "oculant: cannot save %s: %s\n", fileName, std::strerror(errno));
  }
}

}  // namespace

LRESULT handleInstanceMessage(HWND window, WPARAM sender, const COPYDATASTRUCT* data) {
  if (data == nullptr) return 0;
  const bool camera = role == ROLE_LEFT_CAMERA || role == ROLE_RIGHT_CAMERA;
  switch (data->dwData) {
    case MSG_QUIT:
      if (quitHandler != nullptr) quitHandler(window);
      break;
    case MSG_SAVE_FRAME:
      if (camera) saveOwnFrame(window);
      break;
    case MSG_HEADING:
      // A payload shorter than the record is ignored rather than read past its end.
      if (data->lpData != nullptr && data->cbData >= kHeadingPayloadSize) {
        std::memcpy(&rigPose.heading, data->lpData, kHeadingPayloadSize);
      }
      break;
    case MSG_RIG_XY:
      if (data->lpData != nullptr && data->cbData >= kRigXyPayloadSize) {
        const char* bytes = static_cast<const char*>(data->lpData);
        std::memcpy(&rigPose.rigX, bytes, 8);
        std::memcpy(&rigPose.rigY, bytes + 8, 8);
      }
      break;
    case MSG_FRAME_REQUEST:
      if (camera) sendFrame(window, sender);
      break;
    default:
      break;
  }
  return 0;
}

void setQuitHandler(void (*closeWindow)(HWND window)) {
  quitHandler = closeWindow;
}
