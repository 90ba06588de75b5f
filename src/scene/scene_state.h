// Per-process state that the handlers of one instance share. Plain module-level records, zero
// at start; one thread touches them. Who writes and who reads each:
//
// | record        | written by                                   | read by                       |
// |---------------|----------------------------------------------|-------------------------------|
// | role          | app: role decision (once, before the window) | nearly everything             |
// | sceneModel    | scene: config file; render: texture upload   | render, panel log             |
// |               | (each object's textureSlot)                  |                               |
// | imageSlots    | render: texture upload (empty again after)   | -                             |
// | rigPose       | app: window creation (start pose), drive     | render, camera links, latest  |
// |               | steps, mouse turns; messaging: heading and   | frame, panel log, main loop   |
// |               | rig position messages, ground-truth capture  |                               |
// | overviewView  | render: GL set-up (start values), overview   | render, latest frame, main    |
// |               | navigation                                   | loop                          |
// | inputState    | app: input handling (scene/input_state.h)    | render, main loop             |
//
// The window's GL handles and texture names (glResources, TextureSlots) are the renderer's:
// render/gl_resources.h.
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

struct TextureImage;

extern InstanceRole role;
extern SceneModel sceneModel;
extern TextureImage* imageSlots[kImageSlotCapacity];
extern RigPose rigPose;
extern OverviewView overviewView;

// Zeroes every record above, as at process start. Tests use it between cases.
void resetSceneState();
