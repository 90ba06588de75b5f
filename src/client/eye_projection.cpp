// Correspondences between the two eyes of one rig pose: each pixel's point in space, seen from
// the other eye.
#include <cmath>

#include "oculant/ground_truth.h"

namespace oculant {

bool projectToOtherEye(const CameraModel& from, const CameraModel& to, double x, double y,
                       double depth, EyePoint* seen) {
  if (!(depth > 0) || !std::isfinite(depth) || from.focalLength <= 0) return false;
  // The point in the eye's own frame (x right, y down, z ahead); the eyes look in parallel, so
  // the other eye's frame differs only by the eyes' spacing along x.
  const double point[3] = {
      (x - from.centreX) * depth / from.focalLength + from.eyeOffset - to.eyeOffset,
      (y - from.centreY) * depth / from.focalLength, depth};
  if (!(point[2] > 0)) return false;
  seen->x = to.focalLength * point[0] / point[2] + to.centreX;
  seen->y = to.focalLength * point[1] / point[2] + to.centreY;
  seen->depth = point[2];
  return true;
}

}  // namespace oculant
