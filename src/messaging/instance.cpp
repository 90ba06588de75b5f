#include "messaging/instance.h"

#include <cstring>

CameraView cameraViewAt(const Instance& instance, const RigPose& pose, int width, int height) {
  CameraView view;
  std::memset(static_cast<void*>(&view), 0, sizeof view);
  view.role = instance.role;
  view.pose = pose;
  view.overview = instance.overviewView;
  view.showThirdObject = instance.inputState.showThirdObject;
  view.width = width;
  view.height = height;
  view.rig = instance.rigSettings;
  view.scene = &instance.sceneModel;
  return view;
}

CameraView currentCameraView(const Instance& instance, int width, int height) {
  return cameraViewAt(instance, instance.rigPose, width, height);
}
