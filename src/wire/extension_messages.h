// Messages added beside the original protocol for ground truth: a camera draws one frame and
// answers with its colour pixels, its metric depth and the camera model it was drawn with. The
// codes lie apart from the original ones, so a program that knows only those never meets them.
// The bytes on the wire are fixed in docs/protocol.md under "Extensions".
#pragma once

#include <cstdint>

// The original codes, and the rule that payload records travel as they lie in memory.
#include "wire/wire_format.h"

// To a camera. Payload: nothing (the frame at the camera's current pose) or a RigPoseRecord
// (the camera takes that pose first, as MSG_RIG_XY and MSG_HEADING would set it). The camera
// answers with MSG_EXT_CAMERA_INFO, MSG_EXT_COLOUR and MSG_EXT_DEPTH, all from one drawing.
constexpr uintptr_t MSG_EXT_CAPTURE = 3001;
// To a camera, no payload: the camera answers with MSG_EXT_CAMERA_INFO alone.
constexpr uintptr_t MSG_EXT_DESCRIBE = 3002;
// As MSG_EXT_CAPTURE, and the camera also sends MSG_EXT_OBJECT_IDS after the depth. A request
// of its own, so programs that don't want the ids neither wait for them nor meet a fourth reply.
constexpr uintptr_t MSG_EXT_CAPTURE_WITH_IDS = 3003;
// The replies carry the answering camera's role (1 left, 2 right), as the frame replies do.
constexpr uintptr_t MSG_EXT_CAMERA_INFO = 3100;  // + role; payload: CameraInfo
constexpr uintptr_t MSG_EXT_COLOUR = 3200;       // + role; stride * height bytes, as a frame's
constexpr uintptr_t MSG_EXT_DEPTH = 3300;        // + role; width * height float32, bottom row first
// + role; width * height uint16, bottom row first: the 1-based number of the scene object each
// pixel sees (OBJECTn of the scene file), 0 where it sees none.
constexpr uintptr_t MSG_EXT_OBJECT_IDS = 3400;

constexpr bool isExtensionMessage(uintptr_t code) {
  return code >= 3000 && code < 4000;
}

#pragma pack(push, 1)
struct RigPoseRecord {
  double rigX;
  double rigY;
  double heading;  // degrees
};

// The camera that drew a frame: its shape, the pose it was drawn at and the pinhole model that
// maps the scene onto it (pixel centres at whole numbers, x to the right, y downwards).
struct CameraInfo {
  uint32_t version;  // 1
  int32_t width;
  int32_t stride;  // bytes per colour row: width * 3 rounded up to a multiple of 4
  int32_t height;
  int32_t depthBits;  // the precision of the depth buffer the depth was read from
  uint32_t reserved;
  RigPoseRecord pose;
  double focalLength;  // pixels, the same horizontally and vertically
  double centreX;      // the principal point: (width - 1) / 2
  double centreY;      // (height - 1) / 2
  double eyeOffset;    // along the rig's right-hand side: -half the baseline left, + right
  double nearPlane;
  double farPlane;
};
#pragma pack(pop)
static_assert(sizeof(RigPoseRecord) == 24, "RigPoseRecord is 24 bytes on the wire");
static_assert(sizeof(CameraInfo) == 96, "CameraInfo is 96 bytes on the wire");

constexpr uint32_t kCameraInfoVersion = 1;
