// Whether a point one camera sees at some depth is visible to another camera, from that
// camera's depth map: the test behind the occlusion masks and the motion truth.
#pragma once

#include "oculant/ground_truth.h"

namespace oculant {

// How far apart two depths of the same point may lie and still be the same surface: a few
// steps of each depth buffer at the point's depth in each camera (z in `camera`, otherZ in
// `other`).
double visibilityTolerance(const CameraModel& camera, double z, const CameraModel& other,
                           double otherZ);

// True when some pixel of otherDepth around the point's position `seen` shows a surface no
// nearer than the point, give or take tolerance. For a plane through the point the pixels on
// either side lie nearer and farther, so at least one passes.
bool visibleIn(const DepthMap& otherDepth, const EyePoint& seen, double tolerance);

}  // namespace oculant
