#include "render/camera_model.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

double toRadians(double degrees) {
  return degrees * kPi / 180.0;
}

void multiply(const double a[9], const double b[9], double product[9]) {
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      product[row * 3 + column] =
          a[row * 3] * b[column] + a[row * 3 + 1] * b[3 + column] + a[row * 3 + 2] * b[6 + column];
    }
  }
}

}  // namespace

double fieldOfViewFor(InstanceRole instanceRole, const RigSettings& rig) {
  return instanceRole == ROLE_SCENE ? kOverviewFieldOfViewY : rig.fieldOfViewY;
}

double focalLengthFor(const RigSettings& rig, int height) {
  return (height / 2.0) / std::tan(toRadians(rig.fieldOfViewY / 2.0));
}

void eyeRotation(const RigSettings& rig, bool rightEye, double rotation[9]) {
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 0; i < 9; ++i) rotation[i] = identity[i];
  if (!rightEye || !rightEyeTurned(rig)) return;
  // Yaw about the eye's down axis (+ turns the view toward +x), then pitch about its new right
  // axis (+ tilts the view up, toward -y), then roll about its new viewing axis (+ turns x
  // toward +y: clockwise seen from behind).
  const double a = toRadians(rig.rightEyeYaw);
  const double b = toRadians(rig.rightEyePitch);
  const double c = toRadians(rig.rightEyeRoll);
  const double yaw[9] = {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)};
  const double pitch[9] = {1, 0, 0, 0, std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b)};
  const double roll[9] = {std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1};
  double yawPitch[9];
  multiply(yaw, pitch, yawPitch);
  multiply(yawPitch, roll, rotation);
}

RigAxes rigAxesAt(const RigPose& pose) {
  const double h = toRadians(pose.heading);
  const double p = toRadians(pose.pitch);
  const double r = toRadians(pose.roll);
  const double right[3] = {std::sin(h), -std::cos(h), 0};
  const double level[3] = {std::cos(h), std::sin(h), 0};
  const double up[3] = {0, 0, 1};
  RigAxes axes;
  for (int i = 0; i < 3; ++i) {
    // Pitch turns the view toward up; roll then turns the right axis toward down.
    axes.ahead[i] = std::cos(p) * level[i] + std::sin(p) * up[i];
    const double pitchedDown = std::sin(p) * level[i] - std::cos(p) * up[i];
    axes.right[i] = std::cos(r) * right[i] + std::sin(r) * pitchedDown;
    axes.down[i] = -std::sin(r) * right[i] + std::cos(r) * pitchedDown;
  }
  return axes;
}

namespace {

double eyeHalfBaseline(const RigSettings& rig) {
  // The default baseline keeps the first renderer's float, so default frames keep their bits.
  return rig.baseline == kDefaultRig.baseline ? kHalfBaseline : rig.baseline / 2;
}

// A pitched or rolled rig: the eye's axes are the rig's turned by the eye's own rotation.
EyeView tiltedEyeView(const RigPose& pose, const RigSettings& rig, bool rightEye) {
  const RigAxes axes = rigAxesAt(pose);
  const double offset = rightEye ? eyeHalfBaseline(rig) : -eyeHalfBaseline(rig);
  double r[9];
  eyeRotation(rig, rightEye, r);
  const double centre[3] = {pose.rigX, pose.rigY, pose.height};
  EyeView view;
  for (int i = 0; i < 3; ++i) {
    view.eye[i] = centre[i] + offset * axes.right[i];
    view.centre[i] =
        view.eye[i] + r[2] * axes.right[i] + r[5] * axes.down[i] + r[8] * axes.ahead[i];
    view.up[i] = -(r[1] * axes.right[i] + r[4] * axes.down[i] + r[7] * axes.ahead[i]);
  }
  return view;
}

}  // namespace

EyeView eyeViewAt(const RigPose& pose, const RigSettings& rig, bool rightEye) {
  if (!rigIsLevel(pose)) return tiltedEyeView(pose, rig, rightEye);
  // A level rig keeps the arithmetic it always had, so its frames keep their bits.
  const double heading = pose.heading;
  const double cx = std::cos(toRadians(heading));
  const double cy = std::sin(toRadians(heading));
  const double half = eyeHalfBaseline(rig);
  // The offset points to the right of the view direction; the left eye stands opposite.
  const double ox = half * std::cos(toRadians(heading - 90.0));
  const double oy = half * std::sin(toRadians(heading - 90.0));
  const double ex = rightEye ? pose.rigX + ox : pose.rigX - ox;
  const double ey = rightEye ? pose.rigY + oy : pose.rigY - oy;
  const double ez = pose.height;
  EyeView view = {{ex, ey, ez}, {ex + cx, ey + cy, ez}, {0, 0, 1}};
  if (!rightEye || !rightEyeTurned(rig)) return view;

  double r[9];
  eyeRotation(rig, rightEye, r);
  // The rig's right, down and ahead axes in the scene.
  const double right[3] = {cy, -cx, 0};
  const double down[3] = {0, 0, -1};
  const double ahead[3] = {cx, cy, 0};
  for (int i = 0; i < 3; ++i) {
    view.centre[i] = view.eye[i] + r[2] * right[i] + r[5] * down[i] + r[8] * ahead[i];
    view.up[i] = -(r[1] * right[i] + r[4] * down[i] + r[7] * ahead[i]);
  }
  return view;
}
