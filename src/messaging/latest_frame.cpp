#include "messaging/latest_frame.h"

#include "messaging/eye_capture.h"
#include "messaging/frame_source.h"

namespace {

FrameSource* source = nullptr;
std::shared_ptr<const CaptureImage> kept;
CameraView keptView;

}  // namespace

void setFrameSource(FrameSource* newSource) {
  forgetLatestFrame();
  source = newSource;
}

FrameSource* frameSource() {
  return source;
}

std::shared_ptr<const CaptureImage> latestFrame(const CameraView& view) {
  if (kept && sameView(view, keptView)) return kept;
  forgetLatestFrame();
  if (source == nullptr) return nullptr;
  // After a swap the back buffer is undefined: draw the frame again before reading it.
  source->draw(view);
  auto* image = new CaptureImage{};
  captureEyeFrame(*source, view, image);
  if (image->pixels == nullptr) {
    delete image;
    return nullptr;
  }
  // The source that captured the pixels gives them back, even if another is set meanwhile.
  FrameSource* owner = source;
  kept.reset(image, [owner](CaptureImage* done) {
    owner->release(done);
    delete done;
  });
  keptView = view;
  return kept;
}

void forgetLatestFrame() {
  kept.reset();
}
