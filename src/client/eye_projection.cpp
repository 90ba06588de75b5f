// Correspondences between the two eyes of one rig pose, for ground truth of pairs that are not
// rectified (a right eye set turned): each pixel's point in space, seen from the other eye.
#include "eye_projection.h"

#include <cmath>
#include <limits>

#include "oculant/ground_truth.h"

namespace oculant {

bool rectifiedPair(const CameraModel& left, const CameraModel& right) {
  return unturned(left.rotation) && unturned(right.rotation) &&
         left.focalLength == right.focalLength && left.centreX == right.centreX &&
         left.centreY == right.centreY && left.eyeHeight == right.eyeHeight;
}

bool projectToOtherEye(const CameraModel& from, const CameraModel& to, double x, double y,
                       double depth, EyePoint* seen) {
  return EyeToEye(from, to).project(x, y, depth, seen);
}

std::vector<float> trueDisparity(const DepthMap& depth, const CameraModel& camera,
                                 const CameraModel& other) {
  const double baseline = std::abs(other.eyeOffset - camera.eyeOffset);
  std::vector<float> disparity = disparityFromDepth(depth, camera.focalLength, baseline);
  const EyeDisparity ofPoints(camera, other);
  if (ofPoints.rectified()) return disparity;
  const size_t width = static_cast<size_t>(depth.width);
  for (size_t i = 0; i < disparity.size() && width > 0; ++i) {
    const double z = depth.values[i];
    if (!(z > 0) || !std::isfinite(z)) continue;
    // Rows are stored bottom first; pixel rows count from the top.
    const double x = static_cast<double>(i % width);
    const double y = static_cast<double>(depth.height - 1) - static_cast<double>(i / width);
    disparity[i] = static_cast<float>(ofPoints.at(x, y, z));
  }
  return disparity;
}

}  // namespace oculant
