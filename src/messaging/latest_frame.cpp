#include "messaging/latest_frame.h"

#include "messaging/eye_capture.h"
#include "render/frame_renderer.h"

namespace {

std::shared_ptr<const CaptureImage> kept;
CameraView keptView;

void freeCapture(CaptureImage* image) {
  freeCaptureImage(image);
  delete image;
}

}  // namespace

std::shared_ptr<const CaptureImage> latestFrame(const CameraView& view) {
  if (kept && sameView(view, keptView)) return kept;
  forgetLatestFrame();
  // After a swap the back buffer is undefined: draw the frame again before reading it.
  drawFrame(view);
  auto* image = new CaptureImage{};
  captureEyeFrame(view, image);
  if (image->pixels == nullptr) {
    delete image;
    return nullptr;
  }
  kept.reset(image, freeCapture);
  keptView = view;
  return kept;
}

void forgetLatestFrame() {
  kept.reset();
}
