// The pure parts of the ground truth: depth from the depth buffer, disparity from depth, and
// the pose list a recording reads.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "image/depth_capture.h"
#include "oculant/client.h"
#include "pose_list.h"

namespace {

constexpr double kNear = 0.1;
constexpr double kFar = 2000.0;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The window z that a perspective projection with glDepthRange(0, 1) gives a point at depth d.
double windowZ(double depth) {
  const double ndc = (kFar + kNear) / (kFar - kNear) - 2 * kFar * kNear / ((kFar - kNear) * depth);
  return (ndc + 1) / 2;
}

TEST(GroundTruth, DepthFromTheDepthBufferAndDisparityFromDepth) {
  EXPECT_NEAR(metricDepth(0.0, kNear, kFar), kNear, 1e-12);
  for (const double depth : {0.1, 0.5, 1.5, 3.8, 100.0, 1999.0}) {
    EXPECT_NEAR(metricDepth(windowZ(depth), kNear, kFar), depth, depth * 1e-9) << depth;
  }
  // A cleared pixel saw nothing at any distance.
  EXPECT_TRUE(std::isinf(metricDepth(1.0, kNear, kFar)));

  oculant::DepthMap depth;
  depth.width = 2;
  depth.height = 2;
  depth.values = {1.0f, 2.0f, kInfinity, 0.0f};  // bottom row first
  const std::vector<float> disparity = oculant::disparityFromDepth(depth, 300.0, 0.1);
  EXPECT_FLOAT_EQ(disparity[0], 30.0f);
  EXPECT_FLOAT_EQ(disparity[1], 15.0f);
  EXPECT_EQ(disparity[2], 0.0f);          // nothing seen: infinitely far
  EXPECT_TRUE(std::isinf(disparity[3]));  // no valid depth: no disparity, as PFM marks it
  EXPECT_EQ(depth.at(0, 0), kInfinity);   // the top row is the second one stored
  EXPECT_TRUE(std::isnan(depth.at(2, 0)));
}

TEST(GroundTruth, PoseLists) {
  std::vector<oculant::Pose> poses;
  std::string error;
  // One malformed line refuses the whole list, and the message names it.
  EXPECT_FALSE(
      parsePoseList("x, y, heading\n# start\n\n1,2,90\n  -0.5 3e1\t45,\r\n7;", &poses, &error));
  EXPECT_EQ(error, "line 6: expected x, y, heading (three numbers)");

  ASSERT_TRUE(
      parsePoseList("x, y, heading\n# start\n\n1,2,90\n  -0.5 3e1\t45,\r\n", &poses, &error))
      << error;
  ASSERT_EQ(poses.size(), 2u);
  EXPECT_EQ(poses[1].x + poses[1].y * 10 + poses[1].heading * 1000, -0.5 + 300 + 45000);
  for (const char* bad : {"1,2\n", "1,,2\n", "1,2,3,4\n", "1,2,nan\n", "# nothing\n"}) {
    EXPECT_FALSE(parsePoseList(bad, &poses, &error)) << bad;
  }
}

}  // namespace
