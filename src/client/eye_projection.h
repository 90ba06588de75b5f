// The projection from one eye of a rig pose into the other, inline for the loops that run it
// for every pixel of a map (projectToOtherEye is the same for one point).
#pragma once

#include <cmath>
#include <limits>

#include "oculant/ground_truth.h"

namespace oculant {

// True when a row-major rotation is the identity: the eye looks along the rig's own axes.
inline bool unturned(const double rotation[9]) {
  for (int i = 0; i < 9; ++i) {
    if (rotation[i] != (i % 4 == 0 ? 1.0 : 0.0)) return false;
  }
  return true;
}

// Turns v by a row-major rotation (or its transpose). An identity leaves v as it is: its
// products with ones and zeros would give the same numbers exactly, for any finite v.
inline void turn(const double rotation[9], bool identity, bool transposed, const double v[3],
                 double out[3]) {
  for (int i = 0; i < 3; ++i) {
    if (identity) {
      out[i] = v[i];
    } else if (transposed) {
      out[i] = rotation[i] * v[0] + rotation[3 + i] * v[1] + rotation[6 + i] * v[2];
    } else {
      out[i] = rotation[3 * i] * v[0] + rotation[3 * i + 1] * v[1] + rotation[3 * i + 2] * v[2];
    }
  }
}

// One eye's pixels projected into the other eye of the same rig pose, with what holds for every
// point worked out once.
class EyeToEye {
 public:
  EyeToEye(const CameraModel& from, const CameraModel& to)
      : from_(from),
        to_(to),
        fromUnturned_(unturned(from.rotation)),
        toUnturned_(unturned(to.rotation)) {}

  bool project(double x, double y, double depth, EyePoint* seen) const {
    if (!(depth > 0) || !std::isfinite(depth) || from_.focalLength <= 0) return false;
    // The point in the eye's own frame, then in the rig's, then in the other eye's.
    const double eye[3] = {(x - from_.centreX) * depth / from_.focalLength,
                           (y - from_.centreY) * depth / from_.focalLength, depth};
    double rig[3];
    turn(from_.rotation, fromUnturned_, false, eye, rig);
    rig[0] += from_.eyeOffset - to_.eyeOffset;
    rig[1] += to_.eyeHeight - from_.eyeHeight;  // y points down: a higher eye sees it lower
    double other[3];
    turn(to_.rotation, toUnturned_, true, rig, other);
    if (!(other[2] > 0)) return false;
    seen->x = to_.focalLength * other[0] / other[2] + to_.centreX;
    seen->y = to_.focalLength * other[1] / other[2] + to_.centreY;
    seen->depth = other[2];
    return true;
  }

 private:
  const CameraModel& from_;
  const CameraModel& to_;
  const bool fromUnturned_;
  const bool toUnturned_;
};

// The disparity one eye gives the points it sees (x in the left view minus x in the right), as
// trueDisparity has it for every pixel, with what holds for the pair worked out once.
class EyeDisparity {
 public:
  EyeDisparity(const CameraModel& camera, const CameraModel& other)
      : toOther_(camera, other),
        left_(camera.eyeOffset < other.eyeOffset),
        rectified_(left_ ? rectifiedPair(camera, other) : rectifiedPair(other, camera)),
        focalBaseline_(camera.focalLength * std::abs(other.eyeOffset - camera.eyeOffset)) {}

  // True when the pair is rectified: every disparity is f * baseline / depth.
  bool rectified() const { return rectified_; }

  // Of the point seen at pixel (x, y) and depth z > 0; +infinity when the other eye cannot see
  // that far round.
  double at(double x, double y, double z) const {
    if (rectified_) return focalBaseline_ / z;
    EyePoint seen;
    if (!toOther_.project(x, y, z, &seen)) return std::numeric_limits<double>::infinity();
    return left_ ? x - seen.x : seen.x - x;
  }

 private:
  const EyeToEye toOther_;
  const bool left_;
  const bool rectified_;
  const double focalBaseline_;
};

}  // namespace oculant
