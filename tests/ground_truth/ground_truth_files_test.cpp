// The pure parts of the ground truth, the sample check and the pose list a recording reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "image/depth_capture.h"
#include "magick.h"
#include "oculant/client.h"
#include "oculant/stereo_files.h"
#include "pose_list.h"
#include "sample_check.h"

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Finite depths are checked end to end against the wall's true disparity; here the edges.
TEST(GroundTruth, DepthFromTheDepthBufferAndDisparityFromDepth) {
  EXPECT_NEAR(metricDepth(0.0, 0.1, 2000.0), 0.1, 1e-12);
  EXPECT_TRUE(std::isinf(metricDepth(1.0, 0.1, 2000.0))) << "a cleared pixel saw nothing";
  oculant::DepthMap depth;
  depth.width = depth.height = 2;
  depth.values = {1.0f, 2.0f, kInfinity, 0.0f};  // bottom row first
  const std::vector<float> disparity = oculant::disparityFromDepth(depth, 300.0, 0.1);
  EXPECT_FLOAT_EQ(disparity[0], 30.0f);
  EXPECT_FLOAT_EQ(disparity[1], 15.0f);
  // Nothing seen and no valid depth alike: no disparity, +inf as Middlebury's PFM files mark it
  // (0 would count as a point infinitely far away).
  EXPECT_EQ(disparity[2], kInfinity);
  EXPECT_EQ(disparity[3], kInfinity);
  EXPECT_EQ(depth.at(0, 0), kInfinity);  // the top row is the second one stored
  EXPECT_TRUE(std::isnan(depth.at(2, 0)));
}

// What writePfm writes, readPfm gives back, +inf included; a big-endian file (positive scale)
// reads as the same values.
TEST(GroundTruth, PfmFilesBothWays) {
  const std::string name = ::testing::TempDir() + "ground_truth_files_test.pfm";
  const std::vector<float> values = {1.5f, kInfinity, -2.0f, 19.3125f, 0.0f, 7.0f};
  std::string error;
  ASSERT_TRUE(oculant::writePfm(name, 3, 2, values, &error)) << error;
  int width = 0, height = 0;
  std::vector<float> read;
  ASSERT_TRUE(oculant::readPfm(name, &width, &height, &read, &error)) << error;
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(read, values);
  // Without an error to fill, a failure is still told by the result.
  EXPECT_FALSE(oculant::writePfm(name + "/in-no-folder.pfm", 3, 2, values));
  EXPECT_FALSE(oculant::readPfm(name + ".missing", &width, &height, &read));
  writeText(name, "Pf\n1 1\n1.0\n" + std::string("\x41\x9a\x80\x00", 4));  // 19.3125
  ASSERT_TRUE(oculant::readPfm(name, &width, &height, &read, &error)) << error;
  EXPECT_EQ(read, std::vector<float>{19.3125f});
  std::remove(name.c_str());
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
  EXPECT_EQ(oculant::middleburyCalibration(left, right, {}).find("R="), std::string::npos);
  // R is the right eye's rotation transposed; T the left eye's place seen from the right eye.
  // (OpenCV reads them, and the right eye's yaw, from the turned rig's calib.yml end to end.)
  const auto [same, turned] = eyes(2.0);
  const std::string text = oculant::middleburyCalibration(same, turned, {});
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

// The end-to-end tests read these fields back from each sample's calib.txt.
TEST(GroundTruth, CalibrationBoundsTheDisparities) {
  const std::vector<float> left = {kInfinity, 38.6f, 40.2f};
  const std::vector<float> right = {-1.5f, kInfinity};
  const oculant::DisparityBounds bounds = oculant::disparityBounds(left, right, {0.25, 0.5});
  EXPECT_EQ(bounds.ndisp, 48);
  EXPECT_EQ(bounds.vmin, -2);
  EXPECT_EQ(bounds.vmax, 41);
  const oculant::DisparityBounds none = oculant::disparityBounds({kInfinity}, {}, {});
  EXPECT_EQ(none.vmin, 0);
  EXPECT_EQ(none.vmax, 0);
}

// Every way a captured pair can fail the recording's check, each named by its message.
TEST(GroundTruth, RecordedPairsAreChecked) {
  oculant::Capture view;
  view.colour.width = view.depth.width = view.objectIds.width = 2;
  view.colour.height = view.depth.height = view.objectIds.height = 2;
  view.depth.values = {2.0f, kInfinity, 1.0f, 1.0f};  // bottom row first, as the ids
  view.objectIds.values = {3, 0, 1, 1};
  const oculant::StereoCapture good = {view, view};
  EXPECT_EQ(sampleFault(good, 2, 2), "");
  const struct {
    const char* fault;
    void (*spoil)(oculant::StereoCapture*);
    const char* message;
  } cases[] = {
      {"another size", [](oculant::StereoCapture* p) { p->left.colour.width = 1; },
       "the left frame is 1 x 2, not the rig's 2 x 2"},
      {"short depth", [](oculant::StereoCapture* p) { p->right.depth.values.pop_back(); },
       "the right depth map does not have the frame's size"},
      {"no ids", [](oculant::StereoCapture* p) { p->left.objectIds.values.clear(); },
       "the left object ids do not have the frame's size"},
      {"drawn only in part", [](oculant::StereoCapture* p) { p->right.depth.values[1] = 0.1f; },
       "the right view has depth at 1 pixels that show no surface (the first at column 1, row 1 "
       "from the top)"},
      {"a surface without depth",
       [](oculant::StereoCapture* p) {
         p->left.depth.values[2] = p->left.depth.values[3] = kInfinity;
       },
       "the left view has no depth at 2 pixels that show a surface (the first at column 0, row 0 "
       "from the top)"},
  };
  for (const auto& test : cases) {
    oculant::StereoCapture spoilt = good;
    test.spoil(&spoilt);
    EXPECT_EQ(sampleFault(spoilt, 2, 2), test.message) << test.fault;
  }
}

TEST(GroundTruth, PoseLists) {
  std::vector<oculant::Pose> poses;
  std::string error;
  const std::string expected =
      "expected x, y, heading and optionally height, pitch, roll (three to six numbers "
      "separated by commas or blanks)";
  // One malformed line refuses the whole list, and the message names it.
  EXPECT_FALSE(
      parsePoseList("x, y, heading\n# start\n\n1,2,90\n  -0.5 3e1\t45,\r\n7;", &poses, &error));
  EXPECT_EQ(error, "line 6: " + expected);
  // Another separator on the first line is an error there, not a header.
  EXPECT_FALSE(parsePoseList("2;2.3;90\n1,2,3\n", &poses, &error));
  EXPECT_EQ(error, "line 1: " + expected);
  for (const char* bad : {"1,2\n", "1,,2\n", "1,2,3,4,5,6,7\n", "1,2,nan\n", "1,2,3,inf\n",
                          "1,2,3,,5\n", "# nothing\n"}) {
    EXPECT_FALSE(parsePoseList(bad, &poses, &error)) << bad;
  }
  // Three columns leave the attitude out; the fourth to sixth give height, pitch and roll.
  const double keep = std::nan("");
  const struct {
    const char* line;
    oculant::Pose pose;
  } cases[] = {
      {"  -0.5 3e1\t45,\r", {-0.5, 30, 45, keep, keep, keep}},
      {"2,2.3,90,0.2,20,0", {2, 2.3, 90, 0.2, 20, 0}},
      {"1 2 3 1.5,", {1, 2, 3, 1.5, keep, keep}},
      {"1, 2, 3, 0.4, -30", {1, 2, 3, 0.4, -30, keep}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(parsePoseList(std::string("x, y, heading\n# start\n\n") + c.line, &poses, &error))
        << c.line << ": " << error;
    ASSERT_EQ(poses.size(), 1u) << c.line;
    const oculant::Pose& got = poses[0];
    const double fields[6][2] = {
        {got.x, c.pose.x},           {got.y, c.pose.y},         {got.heading, c.pose.heading},
        {got.height, c.pose.height}, {got.pitch, c.pose.pitch}, {got.roll, c.pose.roll}};
    for (int i = 0; i < 6; ++i)  // NaN, the field left out, equals only NaN here
      EXPECT_PRED2([](double a, double b) { return a == b || (a != a && b != b); }, fields[i][0],
                   fields[i][1])
          << c.line << " field " << i;
    EXPECT_EQ(poses[0].hasAttitude(), !std::isnan(c.pose.height)) << c.line;
  }
}

}  // namespace
