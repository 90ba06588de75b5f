#include "messaging/eye_capture.h"

#include "image/sensor_noise.h"

void captureEyeFrame(FrameSource& source, const CameraView& view, CaptureImage* image) {
  source.capture(image, view.width, view.height);
  if (view.rig.noise <= 0 || image->pixels == nullptr) return;
  // Keyed by the pose, so a pose fetched again, by any request, gets the very same bytes.
  const uint64_t key = sensorNoiseKey(view.rig.noiseSeed, view.role, view.pose.rigX, view.pose.rigY,
                                      view.pose.heading);
  addSensorNoise(image, view.rig.noise, key);
}
