#include "messaging/latest_frame.h"

#include "messaging/eye_capture.h"
#include "messaging/frame_source.h"
#include "messaging/instance.h"

void setFrameSource(Instance& instance, FrameSource* source) {
  forgetLatestFrame(instance);
  instance.frameSource = source;
}

std::shared_ptr<const CaptureImage> latestFrame(Instance& instance, const CameraView& view) {
  LatestFrame& latest = instance.latestFrame;
  if (latest.kept && sameView(view, latest.keptView)) return latest.kept;
  forgetLatestFrame(instance);
  FrameSource* source = instance.frameSource;
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
  latest.kept.reset(image, [source](CaptureImage* done) {
    source->release(done);
    delete done;
  });
  latest.keptView = view;
  return latest.kept;
}

void forgetLatestFrame(Instance& instance) {
  instance.latestFrame.kept.reset();
}
