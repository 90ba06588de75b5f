// Which pixels of one eye the other eye sees too, from both eyes' depth and camera models.
#include <cmath>

#include "oculant/ground_truth.h"

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

// Whether the other eye sees the point at `seen`: some pixel around it shows a surface no
// nearer than the point, give or take the depth buffer's precision on both sides. For a plane
// through the point the pixels on either side lie nearer and farther, so at least one passes.
bool seenByOther(const EyePoint& seen, double tolerance, const DepthMap& otherDepth) {
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

}  // namespace

std::vector<uint8_t> occlusionMask(const DepthMap& depth, const CameraModel& camera,
                                   const DepthMap& otherDepth, const CameraModel& otherCamera) {
  std::vector<uint8_t> mask(depth.values.size(), kMaskNoTruth);
  if (depth.width <= 0 || mask.size() != static_cast<size_t>(depth.width) * depth.height) {
    return mask;
  }
  for (int y = 0; y < depth.height; ++y) {
    for (int x = 0; x < depth.width; ++x) {
      const double z = depth.at(x, y);
      uint8_t& value = mask[static_cast<size_t>(depth.height - 1 - y) * depth.width + x];
      EyePoint seen;
      if (!(z > 0) || !std::isfinite(z)) continue;
      value = kMaskOccluded;
      if (!projectToOtherEye(camera, otherCamera, x, y, z, &seen)) continue;
      // A few steps on each side: each depth is rounded to its buffer once, and the surface
      // between pixel centres is drawn from triangles rounded once more.
      const double tolerance = 4 * (depthStep(camera, z) + depthStep(otherCamera, seen.depth));
      if (seenByOther(seen, tolerance, otherDepth)) value = kMaskVisible;
    }
  }
  return mask;
}

}  // namespace oculant
