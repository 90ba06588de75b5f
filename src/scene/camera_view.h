// Everything one frame of the instance's window depends on, as one value: two equal views give
// the same pixels. The renderer draws from it, and whoever keeps or skips a frame compares it,
// so a new input of the frame is one new field here and nothing else.
#pragma once

#include "scene/rig_settings.h"
#include "scene/scene_state.h"

struct CameraView {
  InstanceRole role;
  RigPose pose;
  OverviewView overview;  // applied in every role; it stays zero in the camera roles
  bool showThirdObject;   // the overview leaves object index 2 out while false
  int width;              // the client area the frame fills
  int height;
  RigSettings rig;
  const SceneModel* scene;  // never changes after start-up, so its address stands for it
};

// Compared byte by byte, so a pose that is not a number still matches itself.
bool sameView(const CameraView& a, const CameraView& b);
