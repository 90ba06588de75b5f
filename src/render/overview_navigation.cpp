#include "render/overview_navigation.h"

#include "scene/scene_state.h"

namespace {
constexpr int kDeadZone = 2;        // pixels of travel that move nothing
constexpr int kWheelUnit = 50;      // wheel delta per zoom step
constexpr double kPanScale = 30.0;  // the distance at which one pan event moves panStep
}  // namespace

int panOverview(int dx, int dy) {
  // The step is taken in single precision, as the overview has always moved.
  const float k = static_cast<float>(overviewView.distance / kPanScale);
  if (dx > kDeadZone) overviewView.panX += overviewView.panStep * k;
  if (dx < -kDeadZone) overviewView.panX -= overviewView.panStep * k;
  if (dy > kDeadZone) overviewView.panY -= overviewView.panStep * k;
  if (dy < -kDeadZone) overviewView.panY += overviewView.panStep * k;
  return 0;
}

int zoomOverview(int delta) {
  // Integer division truncates toward zero, so small wheel deltas change nothing.
  overviewView.distance += (delta / kWheelUnit) * overviewView.zoomStep;
  return 0;
}

int rotateOverview(int dx, int dy) {
  if (dx > kDeadZone) overviewView.tilt += overviewView.tiltStep;
  if (dx < -kDeadZone) overviewView.tilt -= overviewView.tiltStep;
  if (dy > kDeadZone) overviewView.spin += overviewView.spinStep;
  if (dy < -kDeadZone) overviewView.spin -= overviewView.spinStep;
  return 0;
}
