// Ground truth from the bench: what a camera saw (colour), how far away it was (depth along
// the optical axis, in scene units) and the camera that saw it (pinhole model and rig pose),
// all from one drawing. Client::capture and Client::captureStereo fetch them.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace oculant {

// Where the rig stands and where it looks: heading in degrees, 0 along +x, 90 along +y; then
// the eyes' height (z), the rig's pitch about its own right axis (degrees, + looks up) and its
// roll about its own viewing axis (degrees, + clockwise seen from behind), in this order. A
// height, pitch or roll left NaN is not sent: the rig keeps its own (a camera model's pose
// always has all six).
struct Pose {
  double x = 0;
  double y = 0;
  double heading = 0;
  double height = std::numeric_limits<double>::quiet_NaN();
  double pitch = std::numeric_limits<double>::quiet_NaN();
  double roll = std::numeric_limits<double>::quiet_NaN();
  // True when any of height, pitch and roll is given.
  bool hasAttitude() const {
    return !std::isnan(height) || !std::isnan(pitch) || !std::isnan(roll);
  }
};

// A pinhole camera without distortion. Pixel centres lie at whole numbers, x to the right and
// y downwards from the top-left pixel (the convention of OpenCV and Middlebury's files).
struct CameraModel {
  int32_t width = 0;
  int32_t height = 0;
  double focalLength = 0;  // pixels, horizontal and vertical alike
  double centreX = 0;      // the principal point
  double centreY = 0;
  // The eye's place on the rig's right-hand axis: -baseline / 2 for the left eye, + for the right.
  double eyeOffset = 0;
  double nearPlane = 0;
  double farPlane = 0;
  int32_t depthBits = 0;   // the precision of the depth buffer behind the depth
  Pose pose;               // the rig pose the frame was drawn at
  double eyeHeight = 0.2;  // the rig's height (pose.height): its centre's z, both eyes' when level
  // This eye's orientation in the rig, the true extrinsics of a rig set with calibration errors
  // (the left eye is always true): yaw (+ turns the view right), pitch (+ up) and roll (+
  // clockwise seen from behind) in degrees, applied in this order about the eye's own axes; and
  // the same as a row-major matrix whose columns are the eye's x (right), y (down) and z
  // (viewing) axes in the rig's frame (x to the rig's right, y down, z along the heading, its
  // origin at the rig's centre at eye height, where the eye stands at (eyeOffset, 0, 0)). The
  // rig's frame turns with its pitch and roll (pose), the eyes with it.
  double yaw = 0;
  double pitch = 0;
  double roll = 0;
  double rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  double noise = 0;  // standard deviation of the colour's sensor noise, grey levels
  uint32_t noiseSeed = 0;
};

// Depth along the camera's optical axis for every pixel, rows of width values with the bottom
// row first (as the colour pixels). +infinity where the camera sees nothing.
struct DepthMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> values;

  // The depth at column x of row y counted from the top; NaN outside the map.
  float at(int x, int y) const;
};

// The scene object each pixel sees: the 1-based number n of OBJECTn in the scene file, 0 where
// the pixel sees no object. Rows of width values with the bottom row first, as the depth.
struct ObjectIdMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint16_t> values;

  // The id at column x of row y counted from the top; 0 outside the map.
  uint16_t at(int x, int y) const;
};

// The horizontal distance between the eyes of a stereo pair.
inline double baselineOf(const CameraModel& left, const CameraModel& right) {
  return right.eyeOffset - left.eyeOffset;
}

// Disparity in pixels from depth, d = f * baseline / depth, laid out as the depth map. A pixel
// that sees nothing (infinite depth) has no disparity: +infinity, as Middlebury's files mark an
// unknown one (0 would pass for a point infinitely far away).
std::vector<float> disparityFromDepth(const DepthMap& depth, double focalLength, double baseline);

// True when the two eyes look in parallel with the same intrinsics rows: a rectified pair, whose
// disparity is f * baseline / depth.
bool rectifiedPair(const CameraModel& left, const CameraModel& right);

// Where the scene point that pixel (x, y) of one eye sees at the given depth (along that eye's
// optical axis) appears in the other eye of the same rig pose: its pixel position there (x to
// the right, y down from the top-left pixel, centres at whole numbers) and its depth along the
// other eye's axis. False when the point does not lie in front of the other eye.
struct EyePoint {
  double x = 0;
  double y = 0;
  double depth = 0;
};
bool projectToOtherEye(const CameraModel& from, const CameraModel& to, double x, double y,
                       double depth, EyePoint* seen);

// The true disparity of every pixel of one eye's depth map, laid out as the map: how far the
// pixel's correspondence in the other eye lies horizontally, x in the left view minus x in the
// right view, whichever view the map is of. For a rectified pair that is f * baseline / depth
// (disparityFromDepth); otherwise each pixel's point is projected into the other eye, and the
// correspondence may lie on another row too. Pixels without depth are as disparityFromDepth
// has them; a point behind the other eye has +infinity.
std::vector<float> trueDisparity(const DepthMap& depth, const CameraModel& camera,
                                 const CameraModel& other);

// The values of an occlusion mask, as Middlebury's mask0nocc.png has them.
constexpr uint8_t kMaskVisible = 255;   // the point is seen by both eyes
constexpr uint8_t kMaskOccluded = 128;  // hidden from the other eye, or outside its view
constexpr uint8_t kMaskNoTruth = 0;     // the pixel sees nothing: no true disparity

// The occlusion mask of one eye of a pair, laid out as its depth map. Each pixel's point is
// projected into the other eye and is visible there unless it falls outside that view or the
// other eye's depth around its position is nearer, by more than a few steps of the depth
// buffer at that distance.
std::vector<uint8_t> occlusionMask(const DepthMap& depth, const CameraModel& camera,
                                   const DepthMap& otherDepth, const CameraModel& otherCamera);

}  // namespace oculant
