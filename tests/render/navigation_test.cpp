#include <gtest/gtest.h>

#include "render/overview_navigation.h"
#include "scene/scene_state.h"

// Pan steps scale with the distance (rounded to single precision), moves within 2 pixels are
// ignored, and a wheel delta counts in whole units of 50, truncated toward zero.
TEST(OverviewNavigation, DeadZoneAndWheelDivision) {
  OverviewView overviewView = {};
  overviewView.distance = 20.0;
  overviewView.zoomStep = overviewView.panStep = 0.5;
  overviewView.tiltStep = 6.0f;
  const double step = 0.5 * static_cast<float>(20 / 30.0);
  const int moves[][4] = {
      {2, -2, 0, 0}, {3, 0, 1, 0}, {100, 0, 2, 0}, {0, 3, 2, -1}, {-5, -5, 1, 0}};
  for (const auto& m : moves) {
    panOverview(&overviewView, m[0], m[1]);
    EXPECT_EQ(overviewView.panX, m[2] * step) << m[0] << "," << m[1];
    EXPECT_EQ(overviewView.panY, m[3] * step) << m[0] << "," << m[1];
  }
  rotateOverview(&overviewView, 2, 2);
  rotateOverview(&overviewView, -3, 0);
  EXPECT_EQ(overviewView.tilt, -6.0f);
  for (const auto& [delta, change] :
       {std::pair<int, double>{120, 1}, {-99, -0.5}, {49, 0}, {-49, 0}, {50, 0.5}}) {
    overviewView.distance = 20.0;
    zoomOverview(&overviewView, delta);
    EXPECT_EQ(overviewView.distance, 20.0 + change) << "delta " << delta;
  }
}
