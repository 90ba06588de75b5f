// Correspondences between the two eyes of one rig pose, for ground truth of pairs that are not
// rectified (a right eye set turned): each pixel's point in space, seen from the other eye.
#include <cmath>
#include <limits>

#include "oculant/ground_truth.h"

namespace oculant {

namespace {

bool isIdentity(const double rotation[9]) {
  for (int i = 0; i < 9; ++i) {
    if (rotation[i] != (i % 4 == 0 ? 1.0 : 0.0)) return false;
  }
  return true;
}

}  // namespace

bool rectifiedPair(const CameraModel& left, const CameraModel& right) {
  return isIdentity(left.rotation) && isIdentity(right.rotation) &&
         left.focalLength == right.focalLength && left.centreX == right.centreX &&
         left.centreY == right.centreY && left.eyeHeight == right.eyeHeight;
}

bool projectToOtherEye(const CameraModel& from, const CameraModel& to, double x, double y,
                       double depth, EyePoint* seen) {
  if (!(depth > 0) || !std::isfinite(depth) || from.focalLength <= 0) return false;
  // The point in the eye's own frame, then in the rig's, then in the other eye's.
  const double eye[3] = {(x - from.centreX) * depth / from.focalLength,
                         (y - from.centreY) * depth / from.focalLength, depth};
  double rig[3];
  for (int i = 0; i < 3; ++i) {
    const double* row = from.rotation + 3 * i;
    rig[i] = row[0] * eye[0] + row[1] * eye[1] + row[2] * eye[2];
  }
  rig[0] += from.eyeOffset - to.eyeOffset;
  rig[1] += to.eyeHeight - from.eyeHeight;  // y points down: a higher eye sees the point lower
  double other[3];
  for (int i = 0; i < 3; ++i) {
    // The transpose turns rig directions into the other eye's.
    other[i] = to.rotation[i] * rig[0] + to.rotation[3 + i] * rig[1] + to.rotation[6 + i] * rig[2];
  }
  if (!(other[2] > 0)) return false;
  seen->x = to.focalLength * other[0] / other[2] + to.centreX;
  seen->y = to.focalLength * other[1] / other[2] + to.centreY;
  seen->depth = other[2];
  return true;
}

std::vector<float> trueDisparity(const DepthMap& depth, const CameraModel& camera,
                                 const CameraModel& other) {
  const bool left = camera.eyeOffset < other.eyeOffset;
  const double baseline = std::abs(other.eyeOffset - camera.eyeOffset);
  std::vector<float> disparity = disparityFromDepth(depth, camera.focalLength, baseline);
  if (left ? rectifiedPair(camera, other) : rectifiedPair(other, camera)) return disparity;
  const size_t width = static_cast<size_t>(depth.width);
  for (size_t i = 0; i < disparity.size() && width > 0; ++i) {
    const double z = depth.values[i];
    if (!(z > 0) || !std::isfinite(z)) continue;
    // Rows are stored bottom first; pixel rows count from the top.
    const double x = static_cast<double>(i % width);
    const double y = static_cast<double>(depth.height - 1) - static_cast<double>(i / width);
    EyePoint seen;
    if (!projectToOtherEye(camera, other, x, y, z, &seen)) {
      disparity[i] = std::numeric_limits<float>::infinity();
    } else {
      disparity[i] = static_cast<float>(left ? x - seen.x : seen.x - x);
    }
  }
  return disparity;
}

}  // namespace oculant
