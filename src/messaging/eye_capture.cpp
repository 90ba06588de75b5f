#include "messaging/eye_capture.h"

#include "image/frame_capture.h"
#include "image/sensor_noise.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

void captureEyeFrame(CaptureImage* image, int width, int height) {
  captureFrame(image, width, height);
  if (rigSettings.noise <= 0 || image->pixels == nullptr) return;
  // Keyed by the pose, so a pose fetched again, by any request, gets the very same bytes.
  const uint64_t key =
      sensorNoiseKey(rigSettings.noiseSeed, role, rigPose.rigX, rigPose.rigY, rigPose.heading);
  addSensorNoise(image, rigSettings.noise, key);
}
