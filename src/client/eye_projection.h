// The projection from one eye of a rig pose into the other, inline for the loops that run it
// for every pixel of a map (projectToOtherEye is the same for one point).
#pragma once

#include <cmath>

#include "oculant/ground_truth.h"

namespace oculant {

inline bool projectIntoOtherEye(const CameraModel& from, const CameraModel& to, double x, double y,
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

}  // namespace oculant
