#include "scene/scene_state.h"

#include <cstring>

#include "scene/rig_settings.h"

InstanceRole role = ROLE_SCENE;
SceneModel sceneModel;
TextureImage* imageSlots[kImageSlotCapacity];
RigPose rigPose;
OverviewView overviewView;

void resetSceneState() {
  role = ROLE_SCENE;
  std::memset(&sceneModel, 0, sizeof sceneModel);
  std::memset(imageSlots, 0, sizeof imageSlots);
  rigPose = RigPose{};
  std::memset(&overviewView, 0, sizeof overviewView);
  rigSettings = kDefaultRig;
}
