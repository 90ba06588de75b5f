// Messages added beside the original protocol for ground truth: a camera draws one frame and
// answers with its colour pixels, its metric depth and the camera model it was drawn with. The
// codes lie apart from the original ones, so a program that knows only those never meets them.
// The bytes on the wire are fixed in docs/protocol.md under "Extensions".
#pragma once

#include <cstddef>
#include <cstdint>

// The original codes, and the rule that payload records travel as they lie in memory.
#include "wire/wire_format.h"

// To a camera. Payload: nothing (the frame at the camera's current pose), a RigPoseRecord (the
// camera takes that pose first, as MSG_RIG_XY and MSG_HEADING would set it) or a FullPoseRecord
// (the camera takes it as MSG_EXT_SET_POSE would). The camera answers with MSG_EXT_CAMERA_INFO,
// MSG_EXT_COLOUR and MSG_EXT_DEPTH, all from one drawing.
constexpr uintptr_t MSG_EXT_CAPTURE = 3001;
// To a camera, no payload: the camera answers with MSG_EXT_CAMERA_INFO alone.
constexpr uintptr_t MSG_EXT_DESCRIBE = 3002;
// As MSG_EXT_CAPTURE, and the camera also sends MSG_EXT_OBJECT_IDS after the depth. A request
// of its own, so programs that don't want the ids neither wait for them nor meet a fourth reply.
constexpr uintptr_t MSG_EXT_CAPTURE_WITH_IDS = 3003;
// To any window of the bench, scene or camera, no payload: the window answers with
// MSG_EXT_VERSION_INFO. A program learns from it that the window answers, which bench it is and
// which protocol it speaks.
constexpr uintptr_t MSG_EXT_VERSION = 3004;
// To any window, payload a FullPoseRecord: the window takes the pose, height, pitch and roll
// included; no reply. The one way to pitch, roll or raise the rig; MSG_RIG_XY and MSG_HEADING
// keep their meaning and leave those as they are.
constexpr uintptr_t MSG_EXT_SET_POSE = 3005;
// The replies carry the answering camera's role (1 left, 2 right), as the frame replies do.
constexpr uintptr_t MSG_EXT_CAMERA_INFO = 3100;  // + role; CameraInfo, 96, 216 or 232 bytes
constexpr uintptr_t MSG_EXT_COLOUR = 3200;       // + role; stride * height bytes, as a frame's
constexpr uintptr_t MSG_EXT_DEPTH = 3300;        // + role; width * height float32, bottom row first
// + role; width * height uint16, bottom row first: the 1-based number of the scene object each
// pixel sees (OBJECTn of the scene file), 0 where it sees none.
constexpr uintptr_t MSG_EXT_OBJECT_IDS = 3400;
// + role (3500 from the scene window, 3501, 3502): a VersionInfo.
constexpr uintptr_t MSG_EXT_VERSION_INFO = 3500;

// The version of the messages' bytes: it grows when a message changes in a way that a program
// written for the earlier one would misread. Additions that earlier programs never meet (new
// codes, longer records that keep their start) leave it as it is.
constexpr uint32_t kProtocolVersion = 1;

constexpr bool isExtensionMessage(uintptr_t code) {
  return code >= 3000 && code < 4000;
}

#pragma pack(push, 1)
struct RigPoseRecord {
  double rigX;
  double rigY;
  double heading;  // degrees
};

// The whole pose of the rig: a RigPoseRecord followed by the eyes' height and the rig's pitch
// and roll in degrees (scene/scene_state.h has their order). A field that is NaN keeps what
// the window holds, so a program may set the attitude alone.
struct FullPoseRecord {
  RigPoseRecord pose;
  double height;
  double pitch;
  double roll;
};

// The camera that drew a frame: its shape, the pose it was drawn at and the pinhole model that
// maps the scene onto it (pixel centres at whole numbers, x to the right, y downwards).
// Version 1 is the first 96 bytes. It describes the rig every scene had before the rig became
// configurable beyond its size, field of view and baseline: eyes 0.2 above the floor, looking in
// parallel, no noise. Version 2 appends the rest, and a camera sends it only when its rig is
// other than that, so programs that know version 1 alone keep working with such scenes. Version
// 3 appends the rig's pitch and roll, sent only while the rig is not level, as version 2 is
// only for a rig that is not plain.
struct CameraInfo {
  uint32_t version;  // 1, 2 or 3
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
  // Version 2 from here on.
  double eyeHeight;  // the rig's height: its centre's and, when level, both eyes' z
  // Degrees: this eye's yaw (+ turns its view right), pitch (+ up) and roll (+ clockwise seen
  // from behind), applied in this order about its own axes; 0 for the left eye.
  double eyeYaw;
  double eyePitch;
  double eyeRoll;
  // The same orientation as a row-major 3 x 3 matrix whose columns are the eye's x (right), y
  // (down) and z (viewing direction) axes in the rig's frame: x to the rig's right, y down, z
  // along the heading, with its origin at the rig's centre at eye height.
  double rotation[9];
  double noise;  // standard deviation of the sensor noise in the colour, grey levels; 0: none
  uint32_t noiseSeed;
  uint32_t reserved2;
  // Version 3 from here on: the rig's pitch (+ looks up) about its right axis after the
  // heading, then its roll (+ clockwise seen from behind) about its viewing axis, degrees.
  double rigPitch;
  double rigRoll;
};

// What a window says of its bench.
struct VersionInfo {
  uint32_t protocol;      // kProtocolVersion of the bench
  char benchVersion[28];  // the bench's version, "0.1.0": text ended by at least one NUL
};
#pragma pack(pop)
static_assert(sizeof(VersionInfo) == 32, "VersionInfo is 32 bytes on the wire");
static_assert(sizeof(RigPoseRecord) == 24, "RigPoseRecord is 24 bytes on the wire");
static_assert(offsetof(CameraInfo, eyeHeight) == 96, "version 1 is the first 96 bytes");
static_assert(sizeof(FullPoseRecord) == 48, "FullPoseRecord is 48 bytes on the wire");
static_assert(offsetof(CameraInfo, rigPitch) == 216, "version 2 is the first 216 bytes");
static_assert(sizeof(CameraInfo) == 232, "CameraInfo is 232 bytes on the wire");

constexpr uint32_t kCameraInfoVersion = 3;
constexpr uint32_t kCameraInfoV1Size = 96;
constexpr uint32_t kCameraInfoV2Size = 216;
