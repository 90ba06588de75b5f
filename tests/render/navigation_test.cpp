#include <gtest/gtest.h>

#include "render/overview_navigation.h"
#include "scene/scene_state.h"

namespace {

class OverviewNavigation : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    overviewView.distance = 20.0;
    overviewView.zoomStep = 0.5;
    overviewView.panStep = 0.5;
    overviewView.tiltStep = 6.0f;
    overviewView.spinStep = 2.5f;
  }
};

// One pan step at a distance, with the scale rounded to single precision first: the exact
// comparisons below tell it from a scale taken in double precision.
double panStepAt(double distance) {
  return 0.5 * static_cast<float>(distance / 30.0);
}

TEST_F(OverviewNavigation, PanMovesOneScaledStepPerAxisOutsideTheDeadZone) {
  // Each move: dx, dy, then the pan expected after it, in steps at distance 20.
  const int moves[][4] = {{2, -2, 0, 0}, {3, 0, 1, 0},  {100, 0, 2, 0},
                          {-3, 0, 1, 0}, {0, 3, 1, -1}, {-5, -5, 0, 0}};
  for (const auto& m : moves) {
    panOverview(m[0], m[1]);
    EXPECT_EQ(overviewView.panX, m[2] * panStepAt(20)) << m[0] << "," << m[1];
    EXPECT_EQ(overviewView.panY, m[3] * panStepAt(20)) << m[0] << "," << m[1];
  }

  // No pan at distance zero; beyond it the pan reverses.
  overviewView.distance = 0;
  panOverview(10, 10);
  EXPECT_EQ(overviewView.panX, 0.0);
  EXPECT_EQ(overviewView.panY, 0.0);
  overviewView.distance = -3;
  panOverview(10, 0);
  EXPECT_LT(overviewView.panX, 0.0);
  EXPECT_EQ(overviewView.panX, panStepAt(-3));
}

TEST_F(OverviewNavigation, ZoomTruncatesTheWheelDeltaTowardZero) {
  const struct {
    int delta;
    double change;
  } cases[] = {{120, 1.0}, {-120, -1.0}, {100, 1.0}, {-99, -0.5},
               {49, 0.0},  {-49, 0.0},   {50, 0.5},  {0, 0.0}};
  for (const auto& c : cases) {
    overviewView.distance = 20.0;
    zoomOverview(c.delta);
    EXPECT_EQ(overviewView.distance, 20.0 + c.change) << "delta " << c.delta;
  }
  overviewView.distance = 20.0;
  for (int notch = 0; notch < 20; ++notch) zoomOverview(-120);
  EXPECT_EQ(overviewView.distance, 0.0);
  zoomOverview(-120);
  EXPECT_EQ(overviewView.distance, -1.0);  // no lower limit
}

TEST_F(OverviewNavigation, RotateTiltsHorizontallyAndSpinsVerticallyWithoutWrapping) {
  rotateOverview(2, 2);
  EXPECT_EQ(overviewView.tilt, 0.0f);
  EXPECT_EQ(overviewView.spin, 0.0f);
  rotateOverview(3, -50);
  EXPECT_EQ(overviewView.tilt, 6.0f);
  EXPECT_EQ(overviewView.spin, -2.5f);
  rotateOverview(-3, 0);
  EXPECT_EQ(overviewView.tilt, 0.0f);
  for (int event = 0; event < 60; ++event) rotateOverview(7, 0);
  EXPECT_EQ(overviewView.tilt, 360.0f);
  EXPECT_EQ(overviewView.spin, -2.5f);
  EXPECT_EQ(overviewView.distance, 20.0);  // rotation leaves distance and pan alone
  EXPECT_EQ(overviewView.panX, 0.0);
}

}  // namespace
