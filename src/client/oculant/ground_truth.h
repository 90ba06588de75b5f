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
