// The records of one instance's scene: its role, the scene read from the configuration file,
// the rig's pose and the overview's viewing parameters. The instance record holds them
// (messaging/instance.h, which also says who writes and who reads each).
//
// The window's GL handles and texture names (glResources, TextureSlots) belong to the renderer:
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
  OBJECT_MESH = 3,  // triangles read from a Wavefront OBJ file (OBJECTn_FILE)
};

constexpr int kObjectRecordCapacity = 100;
constexpr int kMaxSceneObjects = 30;  // bounded by the image slots; never more objects are used
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
  // Degrees about the world's x, then y, then z axis through (X, Y, Z), each by the right-hand
  // rule; all zero draws the object exactly as an unturned one.
  double ROTX;
  double ROTY;
  double ROTZ;
  double SCALE;  // a mesh's size factor; 1 when the key is absent
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
