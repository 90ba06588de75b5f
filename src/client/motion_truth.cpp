// Optical flow and disparity change between two poses of the rig, from depth: each pixel's
// point is carried from its eye into the scene and back into the eye at the next pose.
#include "oculant/motion_truth.h"

#include <cmath>
#include <limits>

#include "depth_visibility.h"
#include "eye_projection.h"

namespace oculant {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The rig's frame in the scene: its origin (the rig's centre at eye height) and its right, down
// and ahead axes (the rig frame's x, y and z) in scene coordinates, z up. The heading turns the
// rig about z, the pitch then turns its view toward up, the roll then its right axis toward
// down; a pitch or roll not given is none.
struct RigFrame {
  double origin[3];
  double axes[3][3];
};

double radians(double degrees) {
  return std::isnan(degrees) ? 0 : degrees * kPi / 180.0;
}

RigFrame rigFrameOf(const CameraModel& camera) {
  const double h = radians(camera.pose.heading);
  const double p = radians(camera.pose.pitch);
  const double r = radians(camera.pose.roll);
  const double right[3] = {std::sin(h), -std::cos(h), 0};
  const double level[3] = {std::cos(h), std::sin(h), 0};
  const double up[3] = {0, 0, 1};
  RigFrame frame = {{camera.pose.x, camera.pose.y, camera.eyeHeight}, {}};
  for (int i = 0; i < 3; ++i) {
    const double pitchedDown = std::sin(p) * level[i] - std::cos(p) * up[i];
    frame.axes[0][i] = std::cos(r) * right[i] + std::sin(r) * pitchedDown;
    frame.axes[1][i] = -std::sin(r) * right[i] + std::cos(r) * pitchedDown;
    frame.axes[2][i] = std::cos(p) * level[i] + std::sin(p) * up[i];
  }
  return frame;
}

// A camera with its rig's frame worked out once, for projecting many points.
struct PlacedCamera {
  const CameraModel& camera;
  RigFrame frame;
  bool unturned;  // the eye looks along the rig's axes
};

PlacedCamera placed(const CameraModel& camera) {
  return {camera, rigFrameOf(camera), unturned(camera.rotation)};
}

// From the camera's own frame (x right, y down, z along its view) to the scene.
inline void cameraToScene(const PlacedCamera& placedCamera, const double point[3],
                          double scene[3]) {
  const CameraModel& camera = placedCamera.camera;
  double rig[3];
  turn(camera.rotation, placedCamera.unturned, false, point, rig);
  rig[0] += camera.eyeOffset;
  const RigFrame& frame = placedCamera.frame;
  for (int i = 0; i < 3; ++i) {
    scene[i] = frame.origin[i] + frame.axes[0][i] * rig[0] + frame.axes[1][i] * rig[1] +
               frame.axes[2][i] * rig[2];
  }
}

inline void sceneToCamera(const PlacedCamera& placedCamera, const double scene[3],
                          double point[3]) {
  const CameraModel& camera = placedCamera.camera;
  const RigFrame& frame = placedCamera.frame;
  double rig[3];
  for (int axis = 0; axis < 3; ++axis) {
    rig[axis] = 0;
    for (int i = 0; i < 3; ++i) rig[axis] += frame.axes[axis][i] * (scene[i] - frame.origin[i]);
  }
  rig[0] -= camera.eyeOffset;
  // The transpose turns rig directions into the camera's.
  turn(camera.rotation, placedCamera.unturned, true, rig, point);
}

inline bool project(const PlacedCamera& placedFrom, const PlacedCamera& placedTo, double x,
                    double y, double depth, EyePoint* seen) {
  const CameraModel& from = placedFrom.camera;
  const CameraModel& to = placedTo.camera;
  if (!(depth > 0) || !std::isfinite(depth) || from.focalLength <= 0) return false;
  const double point[3] = {(x - from.centreX) * depth / from.focalLength,
                           (y - from.centreY) * depth / from.focalLength, depth};
  double scene[3];
  double there[3];
  cameraToScene(placedFrom, point, scene);
  sceneToCamera(placedTo, scene, there);
  if (!(there[2] > 0)) return false;
  seen->x = to.focalLength * there[0] / there[2] + to.centreX;
  seen->y = to.focalLength * there[1] / there[2] + to.centreY;
  seen->depth = there[2];
  return true;
}

}  // namespace

bool FlowField::known(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  const size_t at = 2 * (static_cast<size_t>(y) * width + x);
  if (at + 1 >= values.size()) return false;
  return std::abs(values[at]) <= 1e9f && std::abs(values[at + 1]) <= 1e9f;
}

bool projectBetweenPoses(const CameraModel& from, const CameraModel& to, double x, double y,
                         double depth, EyePoint* seen) {
  return project(placed(from), placed(to), x, y, depth, seen);
}

MotionTruth motionTruth(const DepthMap& depth, const CameraModel& camera, const CameraModel& other,
                        const DepthMap& nextDepth, const CameraModel& next,
                        const CameraModel& nextOther) {
  MotionTruth truth;
  const size_t pixels = static_cast<size_t>(depth.width > 0 ? depth.width : 0) *
                        static_cast<size_t>(depth.height > 0 ? depth.height : 0);
  truth.flow.width = pixels > 0 ? depth.width : 0;
  truth.flow.height = pixels > 0 ? depth.height : 0;
  truth.flow.values.assign(2 * pixels, kUnknownFlow);
  truth.disparityChange.assign(pixels, kInfinity);
  if (pixels == 0 || depth.values.size() != pixels) return truth;
  if (!holdsEveryPixel(nextDepth)) return truth;  // nothing shows at the next pose
  const PlacedCamera from = placed(camera);
  const PlacedCamera to = placed(next);
  const DepthSteps steps(camera);
  const DepthSteps nextSteps(next);
  const EyeDisparity disparity(camera, other);
  const EyeDisparity nextDisparity(next, nextOther);
  for (int y = 0; y < depth.height; ++y) {
    // Maps are stored bottom row first; y counts from the top, as the flow's rows do.
    const size_t rowStart = static_cast<size_t>(depth.height - 1 - y) * depth.width;
    for (int x = 0; x < depth.width; ++x) {
      const size_t mapAt = rowStart + x;
      const double z = depth.values[mapAt];
      EyePoint seen;
      if (!project(from, to, x, y, z, &seen)) continue;
      // A point that leaves the view or hides behind a nearer surface has no motion to see.
      if (!visibleIn(nextDepth, seen, visibilityTolerance(steps, z, nextSteps, seen.depth))) {
        continue;
      }
      const size_t flowAt = 2 * (static_cast<size_t>(y) * depth.width + x);
      truth.flow.values[flowAt] = static_cast<float>(seen.x - x);
      truth.flow.values[flowAt + 1] = static_cast<float>(seen.y - y);
      const double then = nextDisparity.at(seen.x, seen.y, seen.depth);
      // Now's disparity as the recording's disparity file holds it, in single precision.
      const float now = static_cast<float>(disparity.at(x, y, z));
      if (std::isfinite(then) && std::isfinite(now)) {
        truth.disparityChange[mapAt] = static_cast<float>(then - now);
      }
    }
  }
  return truth;
}

}  // namespace oculant
