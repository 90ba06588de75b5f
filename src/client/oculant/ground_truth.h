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
  int32_t depthBits = 0;  // the precision of the depth buffer behind the depth
  Pose pose;              // the rig pose the frame was drawn at
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

}  // namespace oculant
