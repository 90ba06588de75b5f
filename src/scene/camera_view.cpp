#include "scene/camera_view.h"

#include <cstring>

#include "scene/input_state.h"

CameraView cameraViewAt(const RigPose& pose, int width, int height) {
  CameraView view;
  std::memset(static_cast<void*>(&view), 0, sizeof view);
  view.role = role;
  view.pose = pose;
  view.overview = overviewView;
  view.showThirdObject = inputState.showThirdObject;
  view.width = width;
  view.height = height;
  view.rig = rigSettings;
  view.scene = &sceneModel;
  return view;
}

CameraView currentCameraView(int width, int height) {
  return cameraViewAt(rigPose, width, height);
}

bool sameView(const CameraView& a, const CameraView& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
