// Ground-truth depth: the window's depth buffer read back and turned into the distance along
// the camera's optical axis, in scene units.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

// The eye-space depth of a window-space z in [0, 1] under a perspective projection with the
// given near and far planes. z = 1 is what a cleared buffer holds where nothing was drawn, so
// it gives +infinity rather than the far plane: the pixel sees nothing at any finite distance.
inline double metricDepth(double windowZ, double nearPlane, double farPlane) {
  if (windowZ >= 1.0) return std::numeric_limits<double>::infinity();
  const double ndcZ = 2.0 * windowZ - 1.0;
  return 2.0 * nearPlane * farPlane / (farPlane + nearPlane - ndcZ * (farPlane - nearPlane));
}

// Reads the lower-left width x height pixels of the current context's depth buffer as metric
// depth, bottom row first. False (depth emptied) for a negative or oversized side.
bool captureDepth(std::vector<float>* depth, int width, int height, double nearPlane,
                  double farPlane);

// The bits per pixel of the current context's depth buffer.
int depthBufferBits();
