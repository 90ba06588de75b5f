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

// One pan step at distance 20, with the scale rounded to single precision first.
double panStepAt(double distance) {
  return 0.5 * static_cast<float>(distance / 30.0);
}

TEST_F(OverviewNavigation, PanMovesOneScaledStepPerAxisOutsideTheDeadZone) {
  panOverview(2, -2);
  EXPECT_EQ(overviewView.panX, 0.0);
  EXPECT_EQ(overviewView.panY, 0.0);

  panOverview(3, 0);
  EXPECT_EQ(overviewView.panX, panStepAt(20));
  EXPECT_NE(overviewView.panX, 1.0 / 3.0);  // the scale is not taken in double precision
  panOverview(100, 0);
  EXPECT_EQ(overviewView.panX, 2 * panStepAt(20));
  panOverview(-3, 0);
  EXPECT_EQ(overviewView.panX, panStepAt(20));

  // Dragging up (dy > 0) lowers panY; diagonal motion moves both axes in one event.
  panOverview(0, 3);
  EXPECT_EQ(overviewView.panY, -panStepAt(20));
  panOverview(-5, -5);
  EXPECT_EQ(overviewView.panX, 0.0);
  EXPECT_EQ(overviewView.panY, 0.0);
}

TEST_F(OverviewNavigation, PanStopsAtDistanceZeroAndReversesBeyondIt) {
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
