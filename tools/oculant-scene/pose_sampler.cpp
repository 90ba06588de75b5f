#include "pose_sampler.h"

#include <cmath>

#include "exact_numbers.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

namespace {

constexpr double kNearPlane = 0.1;  // the eye views' near clipping distance
constexpr int kTriesPerPose = 10000;

bool clearOfAll(const Vec3& centre, const std::vector<Box>& solids, double clearance) {
  for (const Box& box : solids)
    if (distanceToBox(centre, box) < clearance) return false;
  return true;
}

}  // namespace

double poseClearance(double tanHalfWidth, double tanHalfHeight) {
  const double nearCorner =
      kNearPlane * std::sqrt(1 + tanHalfWidth * tanHalfWidth + tanHalfHeight * tanHalfHeight);
  return roundedTo(nearCorner + kDefaultRig.baseline / 2 + 0.005, 3);
}

bool randomPoses(RandomStream& random, const std::vector<Box>& solids, int count, bool sixColumns,
                 double tanHalfWidth, double tanHalfHeight, std::string* csv, std::string* error) {
  const double clearance = poseClearance(tanHalfWidth, tanHalfHeight);
  *csv = sixColumns ? "x, y, heading, height, pitch, roll\n" : "x, y, heading\n";
  for (int i = 0; i < count; ++i) {
    bool placed = false;
    for (int attempt = 0; attempt < kTriesPerPose && !placed; ++attempt) {
      const double x = random.decimal(kStartPose.rigX - 1.5, kStartPose.rigX + 1.5, 3);
      const double y = random.decimal(kStartPose.rigY - 0.5, kStartPose.rigY + 2, 3);
      const double heading = random.decimal(kStartPose.heading - 25, kStartPose.heading + 25, 1);
      const double height = sixColumns ? random.decimal(0.15, 1, 3) : kDefaultRig.eyeHeight;
      if (!clearOfAll({x, y, height}, solids, clearance)) continue;
      *csv += fixedDecimal(x, 3) + ", " + fixedDecimal(y, 3) + ", " + fixedDecimal(heading, 1);
      if (sixColumns)
        *csv += ", " + fixedDecimal(height, 3) + ", " +
                fixedDecimal(random.decimal(-15, 10, 1), 1) + ", " +
                fixedDecimal(random.decimal(-10, 10, 1), 1);
      *csv += "\n";
      placed = true;
    }
    if (!placed) {
      *error = "no room for pose " + std::to_string(i + 1) + " at " + fixedDecimal(clearance, 3) +
               " from every object within " + std::to_string(kTriesPerPose) + " tries";
      return false;
    }
  }
  return true;
}
