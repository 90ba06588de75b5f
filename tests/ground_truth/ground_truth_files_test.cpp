// The pure parts of the ground truth: depth from the depth buffer, disparity from depth, the
// correspondence between the eyes of a rig with a turned right eye, the calibration text, and
// the pose list a recording reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "image/depth_capture.h"
#include "oculant/client.h"
#include "oculant/stereo_files.h"
#include "pose_list.h"

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Finite depths are checked end to end against the wall's true disparity; here the edges.
TEST(GroundTruth, DepthFromTheDepthBufferAndDisparityFromDepth) {
  EXPECT_NEAR(metricDepth(0.0, 0.1, 2000.0), 0.1, 1e-12);
  EXPECT_TRUE(std::isinf(metricDepth(1.0, 0.1, 2000.0))) << "a cleared pixel saw nothing";

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

// Two 320 x 240 eyes with f = 300, 0.1 apart; the right one turned right by yaw degrees.
std::pair<oculant::CameraModel, oculant::CameraModel> eyes(double yaw) {
  oculant::CameraModel left;
  left.width = 320, left.height = 240, left.focalLength = 300;
  left.centreX = 159.5, left.centreY = 119.5, left.eyeOffset = -0.05;
  oculant::CameraModel right = left;
  right.eyeOffset = 0.05;
  const double a = yaw * 3.141592653589793 / 180;
  const double turned[9] = {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)};
  std::copy(turned, turned + 9, right.rotation);
  right.yaw = yaw;
  return {left, right};
}

TEST(GroundTruth, CorrespondenceBetweenTheEyes) {
  const auto [left, right] = eyes(2.0);
  oculant::EyePoint there, back;
  // A far point straight ahead of the left eye lies f tan 2 degrees left of the turned right
  // eye's centre.
  ASSERT_TRUE(oculant::projectToOtherEye(left, right, 159.5, 119.5, 1e7, &there));
  EXPECT_NEAR(there.x, 159.5 - 300 * std::tan(2 * 3.141592653589793 / 180), 1e-4);
  EXPECT_NEAR(there.y, 119.5, 1e-9);
  // Into the right eye and back lands where it started.
  ASSERT_TRUE(oculant::projectToOtherEye(left, right, 100, 50, 2.0, &there));
  ASSERT_TRUE(oculant::projectToOtherEye(right, left, there.x, there.y, there.depth, &back));
  EXPECT_NEAR(back.x, 100, 1e-9);
  EXPECT_NEAR(back.y, 50, 1e-9);
  EXPECT_NEAR(back.depth, 2.0, 1e-12);
  EXPECT_FALSE(oculant::projectToOtherEye(left, right, 159.5, 119.5, -1, &there));

  // Disparity is x on the left minus x on the right, for either view; a rectified pair's is
  // f * baseline / depth exactly.
  oculant::DepthMap depth;
  depth.width = 320, depth.height = 1;
  depth.values.assign(320, 2.0f);
  const auto [plainLeft, plainRight] = eyes(0.0);
  EXPECT_EQ(oculant::trueDisparity(depth, plainLeft, plainRight)[7], 15.0f);
  EXPECT_EQ(oculant::trueDisparity(depth, plainRight, plainLeft)[7], 15.0f);
  ASSERT_TRUE(oculant::projectToOtherEye(right, left, 7, 0, 2.0, &there));
  EXPECT_NEAR(oculant::trueDisparity(depth, right, left)[7], there.x - 7, 1e-4);
}

TEST(GroundTruth, CalibrationCarriesTheTrueExtrinsics) {
  const auto [left, right] = eyes(0.0);
  const std::string plain = oculant::openCvCalibration(left, right);
  EXPECT_NE(plain.find("data: [ 1., 0., 0., 0., 1., 0., 0., 0., 1. ]"), std::string::npos);
  EXPECT_NE(plain.find("data: [ -0.1, 0., 0. ]"), std::string::npos);
  EXPECT_EQ(oculant::middleburyCalibration(left, right, 16).find("R="), std::string::npos);

  const auto [same, turned] = eyes(2.0);
  const std::string yml = oculant::openCvCalibration(same, turned);
  EXPECT_NE(yml.find("right_eye_yaw_degrees: 2\n"), std::string::npos);
  // R is the right eye's rotation transposed; T the left eye's place seen from the right eye.
  const std::string text = oculant::middleburyCalibration(same, turned, 16);
  const std::string c = oculant::exactNumber(turned.rotation[0]);
  const std::string s = oculant::exactNumber(turned.rotation[2]);
  EXPECT_NE(text.find("R=[" + c + " 0 -" + s + "; 0 1 0; " + s + " 0 " + c + "]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("T=[" + oculant::exactNumber(-0.1 * turned.rotation[0]) + " 0 " +
                      oculant::exactNumber(-0.1 * turned.rotation[2]) + "]\n"),
            std::string::npos)
      << text;
}

TEST(GroundTruth, PoseLists) {
  std::vector<oculant::Pose> poses;
  std::string error;
  // One malformed line refuses the whole list, and the message names it.
  EXPECT_FALSE(
      parsePoseList("x, y, heading\n# start\n\n1,2,90\n  -0.5 3e1\t45,\r\n7;", &poses, &error));
  EXPECT_EQ(error, "line 6: expected x, y, heading (three numbers separated by commas or blanks)");
  // Another separator on the first line is an error there, not a header.
  EXPECT_FALSE(parsePoseList("2;2.3;90\n1,2,3\n", &poses, &error));
  EXPECT_EQ(error, "line 1: expected x, y, heading (three numbers separated by commas or blanks)");

  ASSERT_TRUE(
      parsePoseList("x, y, heading\n# start\n\n1,2,90\n  -0.5 3e1\t45,\r\n", &poses, &error))
      << error;
  ASSERT_EQ(poses.size(), 2u);
  EXPECT_EQ(poses[1].x, -0.5);
  EXPECT_EQ(poses[1].y, 30.0);
  EXPECT_EQ(poses[1].heading, 45.0);
  for (const char* bad : {"1,2\n", "1,,2\n", "1,2,3,4\n", "1,2,nan\n", "# nothing\n"}) {
    EXPECT_FALSE(parsePoseList(bad, &poses, &error)) << bad;
  }
}

}  // namespace
