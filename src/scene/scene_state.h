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

// The height every scene's eyes had before a scene could set it (RIG_EYE_HEIGHT).
constexpr double kDefaultEyeHeight = 0.2;

// Where the rig stands and how it is turned. Its attitude, in this order: heading (degrees
// about the scene's z axis, 0 looks along +x, 90 along +y), then pitch about the rig's own
// right axis (+ looks up), then roll about its own viewing axis (+ turns the rig clockwise as
// seen from behind). Mouse turns and drive steps change rigX, rigY and heading only.
struct RigPose {
  double rigX;
  double rigY;
  double heading;                     // degrees
  double height = kDefaultEyeHeight;  // the eyes' z; the scene's eye height at start
  double pitch = 0;                   // degrees
  double roll = 0;                    // degrees
};

// The pose every instance starts from, so that a camera needs no message to agree with the
// scene until the rig moves. Its height is the scene's eye height (rigStartPose).
constexpr RigPose kStartPose = {0.7, 0.7, 90.0};

// True when the rig looks straight along its heading, neither pitched nor rolled: drawn and
// described exactly as the rig was before it could tilt.
inline bool rigIsLevel(const RigPose& pose) {
  return pose.pitch == 0 && pose.roll == 0;
}

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
