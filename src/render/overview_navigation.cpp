#include "render/overview_navigation.h"

#include "scene/scene_state.h"

namespace {
constexpr int kDeadZone = 2;        // pixels of travel that move nothing
constexpr int kWheelUnit = 50;      // wheel delta per zoom step
constexpr double kPanScale = 30.0;  // the distance at which one pan event moves panStep
}  // namespace

int panOverview(OverviewView* view, int dx, int dy) {
  // The step is taken in single precision, as the overview has always moved.
  const float k = static_cast<float>(view->distance / kPanScale);
  if (dx > kDeadZone) view->panX += view->panStep * k;
  if (dx < -kDeadZone) view->panX -= view->panStep * k;
  if (dy > kDeadZone) view->panY -= view->panStep * k;
  if (dy < -kDeadZone) view->panY += view->panStep * k;
  return 0;
}

int zoomOverview(OverviewView* view, int delta) {
  // Integer division truncates toward zero, so small wheel deltas change nothing.
  view->distance += (delta / kWheelUnit) * view->zoomStep;
  return 0;
}

int rotateOverview(OverviewView* view, int dx, int dy) {
  if (dx > kDeadZone) view->tilt += view->tiltStep;
  if (dx < -kDeadZone) view->tilt -= view->tiltStep;
  if (dy > kDeadZone) view->spin += view->spinStep;
  if (dy < -kDeadZone) view->spin -= view->spinStep;
  return 0;
}
