#include "scene/scene_state.h"

#include <cstring>

InstanceRole role = ROLE_SCENE;
SceneModel sceneModel;
uint32_t TextureSlots[kTextureSlotCapacity];
TextureImage* imageSlots[kImageSlotCapacity];
RigPose rigPose;
OverviewView overviewView;
GlResources glResources;

void resetSceneState() {
  role = ROLE_SCENE;
  std::memset(&sceneModel, 0, sizeof sceneModel);
  std::memset(TextureSlots, 0, sizeof TextureSlots);
  std::memset(imageSlots, 0, sizeof imageSlots);
  std::memset(&rigPose, 0, sizeof rigPose);
  std::memset(&overviewView, 0, sizeof overviewView);
  std::memset(&glResources, 0, sizeof glResources);
}
