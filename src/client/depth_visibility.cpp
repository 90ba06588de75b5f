// When a point one camera sees is visible to another: the depth buffer's precision, and the
// test against the other camera's depth.
#include "depth_visibility.h"

#include <cmath>

namespace oculant {
namespace {

// How far one step of the depth buffer reaches at depth z: window z = f (z - n) / ((f - n) z),
// so a step of 1 / (2^bits - 1) spans z^2 (f - n) / (f n (2^bits - 1)). A buffer of more than
// 24 bits is no finer than that: the depth drawn into it is a single-precision float.
double depthStep(const CameraModel& camera, double z) {
  const double n = camera.nearPlane > 0 ? camera.nearPlane : 0.1;
  const double f = camera.farPlane > n ? camera.farPlane : 2000.0;
  const int bits = camera.depthBits >= 16 && camera.depthBits <= 24 ? camera.depthBits
                   : camera.depthBits > 24                          ? 24
                                                                    : 16;
  return z * z * (f - n) / (f * n * (std::ldexp(1.0, bits) - 1));
}

// The pixel indices around position p along one side of the map: the one p lies on when it is
// a pixel centre (to within rounding), else the two it lies between. None outside the view,
// which spans from -0.5 to size - 0.5.
int neighbours(double p, int size, int index[2]) {
  if (!(p >= -0.5 && p < size - 0.5)) return 0;
  const double nearest = std::round(p);
  if (std::abs(p - nearest) < 1e-6) {
    index[0] = static_cast<int>(nearest);
    return 1;
  }
  const int below = static_cast<int>(std::floor(p));
  int count = 0;
  if (below >= 0) index[count++] = below;
  if (below + 1 < size) index[count++] = below + 1;
  return count;
}

}  // namespace

double visibilityTolerance(const CameraModel& camera, double z, const CameraModel& other,
                           double otherZ) {
  // A few steps on each side: each depth is rounded to its buffer once, and the surface
  // between pixel centres is drawn from triangles rounded once more.
  return 4 * (depthStep(camera, z) + depthStep(other, otherZ));
}

bool visibleIn(const DepthMap& otherDepth, const EyePoint& seen, double tolerance) {
  int columns[2];
  int rows[2];
  const int columnCount = neighbours(seen.x, otherDepth.width, columns);
  const int rowCount = neighbours(seen.y, otherDepth.height, rows);
  for (int r = 0; r < rowCount; ++r) {
    for (int c = 0; c < columnCount; ++c) {
      // Nothing drawn there (+infinity) hides nothing either.
      if (otherDepth.at(columns[c], rows[r]) >= seen.depth - tolerance) return true;
    }
  }
  return false;
}

}  // namespace oculant
