// Whether a point one camera sees at some depth is visible to another camera, from that
// camera's depth map: the test behind the occlusion masks and the motion truth. It runs once or
// more for every pixel of a map, hence inline, with each camera's constants worked out once.
#pragma once

#include <cmath>
#include <cstddef>

#include "oculant/ground_truth.h"

namespace oculant {

// The spacing of one camera's depth buffer. Window z = f (z - n) / ((f - n) z), so a step of
// 1 / (2^bits - 1) spans z^2 (f - n) / (f n (2^bits - 1)) at depth z. A buffer of more than 24
// bits is no finer than that: the depth drawn into it is a single-precision float.
class DepthSteps {
 public:
  explicit DepthSteps(const CameraModel& camera) {
    const double n = camera.nearPlane > 0 ? camera.nearPlane : 0.1;
    const double f = camera.farPlane > n ? camera.farPlane : 2000.0;
    const int bits = camera.depthBits >= 16 && camera.depthBits <= 24 ? camera.depthBits
                     : camera.depthBits > 24                          ? 24
                                                                      : 16;
    span_ = f - n;
    scale_ = f * n * (std::ldexp(1.0, bits) - 1);
  }

  // How far one step of the buffer reaches at depth z.
  double at(double z) const { return z * z * span_ / scale_; }

 private:
  double span_;
  double scale_;
};

// How far apart two depths of the same point may lie and still be the same surface: a few steps
// of each depth buffer at the point's depth in each camera (z in `camera`, otherZ in `other`).
// Each depth is rounded to its buffer once, and the surface between pixel centres is drawn from
// triangles rounded once more.
inline double visibilityTolerance(const DepthSteps& camera, double z, const DepthSteps& other,
                                  double otherZ) {
  return 4 * (camera.at(z) + other.at(otherZ));
}

// The pixel indices around position p along one side of a map: the one p lies on when it is a
// pixel centre (to within rounding), else the two it lies between. None outside the view, which
// spans from -0.5 to size - 0.5.
inline int pixelsAround(double p, int size, int index[2]) {
  if (!(p >= -0.5 && p < size - 0.5)) return 0;
  // Floor and nearest by integer conversion, which p's range allows; a library call for each
  // would cost more than the rest of the test. p - below is exact, and p - nearest too.
  const int whole = static_cast<int>(p);
  const int below = p < whole ? whole - 1 : whole;
  const int nearest = p - below >= 0.5 ? below + 1 : below;
  if (std::abs(p - nearest) < 1e-6) {
    index[0] = nearest;
    return 1;
  }
  int count = 0;
  if (below >= 0) index[count++] = below;
  if (below + 1 < size) index[count++] = below + 1;
  return count;
}

// True when some pixel of otherDepth around the point's position `seen` shows a surface no
// nearer than the point, give or take tolerance. For a plane through the point the pixels on
// either side lie nearer and farther, so at least one passes. The map must hold every pixel
// (holdsEveryPixel).
inline bool visibleIn(const DepthMap& otherDepth, const EyePoint& seen, double tolerance) {
  int columns[2];
  int rows[2];
  const int columnCount = pixelsAround(seen.x, otherDepth.width, columns);
  const int rowCount = pixelsAround(seen.y, otherDepth.height, rows);
  for (int r = 0; r < rowCount; ++r) {
    const float* row =
        otherDepth.values.data() + static_cast<size_t>(otherDepth.height - 1 - rows[r]) *
                                       static_cast<size_t>(otherDepth.width);
    for (int c = 0; c < columnCount; ++c) {
      // Nothing drawn there (+infinity) hides nothing either.
      if (row[columns[c]] >= seen.depth - tolerance) return true;
    }
  }
  return false;
}

// True when a map holds a value for each of its pixels, as visibleIn needs; a map that does
// not shows no surface anywhere.
inline bool holdsEveryPixel(const DepthMap& depth) {
  return depth.width >= 0 && depth.height >= 0 &&
         depth.values.size() >= static_cast<size_t>(depth.width) * depth.height;
}

}  // namespace oculant
