// Which pixels of one eye the other eye sees too, from both eyes' depth and camera models.
#include <cmath>

#include "depth_visibility.h"
#include "oculant/ground_truth.h"

namespace oculant {

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
      if (visibleIn(otherDepth, seen, visibilityTolerance(camera, z, otherCamera, seen.depth))) {
        value = kMaskVisible;
      }
    }
  }
  return mask;
}

}  // namespace oculant
