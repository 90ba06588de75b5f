// Which pixels of one eye the other eye sees too, from both eyes' depth and camera models.
#include <cmath>

#include "depth_visibility.h"
#include "eye_projection.h"
#include "oculant/ground_truth.h"

namespace oculant {

std::vector<uint8_t> occlusionMask(const DepthMap& depth, const CameraModel& camera,
                                   const DepthMap& otherDepth, const CameraModel& otherCamera) {
  std::vector<uint8_t> mask(depth.values.size(), kMaskNoTruth);
  if (depth.width <= 0 || mask.size() != static_cast<size_t>(depth.width) * depth.height) {
    return mask;
  }
  const DepthSteps steps(camera);
  const DepthSteps otherSteps(otherCamera);
  const bool otherShows = holdsEveryPixel(otherDepth);
  const EyeToEye toOther(camera, otherCamera);
  for (int y = 0; y < depth.height; ++y) {
    // Maps are stored bottom row first; y counts from the top.
    const size_t rowStart = static_cast<size_t>(depth.height - 1 - y) * depth.width;
    for (int x = 0; x < depth.width; ++x) {
      const double z = depth.values[rowStart + x];
      uint8_t& value = mask[rowStart + x];
      EyePoint seen;
      if (!(z > 0) || !std::isfinite(z)) continue;
      value = kMaskOccluded;
      if (!otherShows || !toOther.project(x, y, z, &seen)) continue;
      if (visibleIn(otherDepth, seen, visibilityTolerance(steps, z, otherSteps, seen.depth))) {
        value = kMaskVisible;
      }
    }
  }
  return mask;
}

}  // namespace oculant
