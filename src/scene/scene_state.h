// Per-process state that the handlers of one instance share: role, scene, rig pose,
// overview parameters and GL handles. Plain module-level records, zero at start.
#pragma once

#include <cstdint>

enum InstanceRole : int32_t {
  ROLE_SCENE = 0,
  ROLE_LEFT_CAMERA = 1,
  ROLE_RIGHT_CAMERA = 2,
};

enum ObjectKind : int32_t {
  OBJECT_SLAB = 1,
  OBJECT_LATTICE = 2,
};

constexpr int kObjectRecordCapacity = 100;
constexpr int kMaxSceneObjects = 30;  // bounded by imageSlots; never more objects are used
constexpr int kTextureSlotCapacity = 31;
constexpr int kImageSlotCapacity = 30;
constexpr int kFileNameSize = 256;

struct SceneObject {
  int32_t kind;
  double X;
  double Y;
  double Z;
  double WIDTH;
  double HEIGHT;
  double R;
  double G;
  double B;
  uint8_t textured;
  char fileName[kFileNameSize];
  int32_t textureSlot;
};

struct SceneModel {
  SceneObject objects[kObjectRecordCapacity];
  int32_t objectCount;
};

struct RigPose {
  double rigX;
  double rigY;
  double heading;  // degrees
};

// The pose every instance starts from, so that a camera needs no message to agree with the
// scene until the rig moves.
constexpr RigPose kStartPose = {0.7, 0.7, 90.0};

struct OverviewView {
  double distance;
  double panX;
  double panY;
  float tilt;  // degrees
  float spin;  // degrees
  double zoomStep;
  double panStep;
  float tiltStep;
  float spinStep;
};

// The GL handles of the window. deviceContext is the window the context draws into and
// renderContext the GL context; both are opaque platform handles, 0 when absent.
struct GlResources {
  uintptr_t deviceContext;
  uintptr_t renderContext;
  uint32_t fontListBase;
  float aspect;
};

struct TextureImage;

extern InstanceRole role;
extern SceneModel sceneModel;
extern uint32_t TextureSlots[kTextureSlotCapacity];  // GL texture names, entry i for object i
extern TextureImage* imageSlots[kImageSlotCapacity];
extern RigPose rigPose;
extern OverviewView overviewView;
extern GlResources glResources;

// Zeroes every record above, as at process start. Tests use it between cases.
void resetSceneState();
