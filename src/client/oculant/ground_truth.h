// Ground truth from the bench: what a camera saw (colour), how far away it was (depth along
// the optical axis, in scene units) and the camera that saw it (pinhole model and rig pose),
// all from one drawing. Client::capture and Client::captureStereo fetch them.
#pragma once

#include <cstdint>
#include <vector>

namespace oculant {

// Where the rig stands on the floor and where it looks: heading in degrees, 0 along +x, 90
// along +y.
struct Pose {
  double x = 0;
  double y = 0;
  double heading = 0;
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
  double eyeHeight = 0.2;  // both eyes' height above the floor
  // This eye's orientation in the rig, the true extrinsics of a rig set with calibration errors
  // (the left eye is always true): yaw (+ turns the view right), pitch (+ up) and roll (+
  // clockwise seen from behind) in degrees, applied in this order about the eye's own axes; and
  // the same as a row-major matrix whose columns are the eye's x (right), y (down) and z
  // (viewing) axes in the rig's frame (x to the rig's right, y down, z along the heading, its
  // origin at the rig's centre at eye height, where the eye stands at (eyeOffset, 0, 0)).
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

// The horizontal distance between the eyes of a stereo pair.
inline double baselineOf(const CameraModel& left, const CameraModel& right) {
  return right.eyeOffset - left.eyeOffset;
}

// Disparity in pixels from depth, d = f * baseline / depth, laid out as the depth map. A pixel
// that sees nothing (infinite depth) has disparity 0.
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

}  // namespace oculant
