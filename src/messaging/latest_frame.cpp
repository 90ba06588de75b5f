#include "messaging/latest_frame.h"

#include <cstring>

#include "messaging/eye_capture.h"
#include "render/frame_renderer.h"
#include "scene/scene_state.h"

namespace {

// What a camera frame is drawn from. The input flags are not part of it: they change only the
// overview, never an eye view.
struct FrameInputs {
  InstanceRole role;
  int width;
  int height;
  RigPose pose;
  OverviewView overview;
};

std::shared_ptr<const CaptureImage> kept;
FrameInputs keptInputs;

// Compared byte by byte, so a pose that is not a number still matches itself.
bool sameInputs(const FrameInputs& a, const FrameInputs& b) {
  return a.role == b.role && a.width == b.width && a.height == b.height &&
         std::memcmp(&a.pose, &b.pose, sizeof a.pose) == 0 &&
         std::memcmp(&a.overview, &b.overview, sizeof a.overview) == 0;
}

void freeCapture(CaptureImage* image) {
  freeCaptureImage(image);
  delete image;
}

}  // namespace

std::shared_ptr<const CaptureImage> latestFrame(int width, int height) {
  const FrameInputs inputs = {role, width, height, rigPose, overviewView};
  if (kept && sameInputs(inputs, keptInputs)) return kept;
  forgetLatestFrame();
  // After a swap the back buffer is undefined: draw the frame again before reading it.
  drawFrame();
  auto* image = new CaptureImage{};
  captureEyeFrame(image, width, height);
  if (image->pixels == nullptr) {
    delete image;
    return nullptr;
  }
  kept.reset(image, freeCapture);
  keptInputs = inputs;
  return kept;
}

void forgetLatestFrame() {
  kept.reset();
}
