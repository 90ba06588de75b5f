// The pure parts of the ground truth: depth from the depth buffer, disparity from depth, the
// PFM and calibration files, and the pose list a recording reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "image/depth_capture.h"
#include "oculant/client.h"
#include "oculant/stereo_files.h"
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

std::string readAll(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string scratchFile(const char* name) {
  return testing::TempDir() + "/" + std::to_string(getpid()) + "-" + name;
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
  EXPECT_EQ(depth.at(1, 1), 2.0f);
  EXPECT_TRUE(std::isnan(depth.at(2, 0)));
  EXPECT_TRUE(std::isnan(depth.at(0, -1)));
}

TEST(GroundTruth, PfmFilesAreGreyscaleLittleEndianBottomRowFirst) {
  const std::string fileName = scratchFile("disparity.pfm");
  const std::vector<float> values = {1.5f, -2.0f, 0.0f, 4.25f, kInfinity, 1e-3f};
  std::string error;
  ASSERT_TRUE(oculant::writePfm(fileName, 3, 2, values, &error)) << error;
  const std::string header = "Pf\n3 2\n-1.0\n";
  const std::string file = readAll(fileName);
  ASSERT_EQ(file.size(), header.size() + values.size() * 4);
  EXPECT_EQ(file.substr(0, header.size()), header);
  // The first value is stored first, least significant byte first: 1.5f is 0x3FC00000.
  EXPECT_EQ(file.substr(header.size(), 4), std::string("\x00\x00\xC0\x3F", 4));
  EXPECT_EQ(std::memcmp(file.data() + header.size(), values.data(), values.size() * 4), 0);

  EXPECT_FALSE(oculant::writePfm(fileName, 3, 3, values, &error));  // too few values
  EXPECT_FALSE(oculant::writePfm(fileName, 0, 2, values, &error));
  const std::string unwritable = testing::TempDir() + "/no such folder/d.pfm";
  EXPECT_FALSE(oculant::writePfm(unwritable, 3, 2, values, &error));
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
  std::remove(fileName.c_str());
}

TEST(GroundTruth, CalibrationFiles) {
  oculant::CameraModel left;
  left.width = 320;
  left.height = 240;
  left.focalLength = 120 / std::tan(22.5 * M_PI / 180);
  left.centreX = 159.5;
  left.centreY = 119.5;
  left.eyeOffset = -0.05;
  left.pose = {2.0, 2.3, 90.0};
  oculant::CameraModel right = left;
  right.eyeOffset = 0.05;

  EXPECT_EQ(oculant::middleburyCalibration(left, right, 32),
            "cam0=[289.7056274847714 0 159.5; 0 289.7056274847714 119.5; 0 0 1]\n"
            "cam1=[289.7056274847714 0 159.5; 0 289.7056274847714 119.5; 0 0 1]\n"
            "doffs=0\nbaseline=0.1\nwidth=320\nheight=240\nndisp=32\n");
  const std::string yaml = oculant::openCvCalibration(left, right);
  EXPECT_EQ(yaml.rfind("%YAML:1.0\n---\n", 0), 0u);
  for (const char* line :
       {"data: [ 289.7056274847714, 0., 159.5, 0., 289.7056274847714, 119.5, 0., 0., 1. ]",
        "data: [ -0.1, 0., 0. ]", "rig_x: 2\n", "rig_y: 2.3\n", "rig_heading_degrees: 90\n"}) {
    EXPECT_NE(yaml.find(line), std::string::npos) << line;
  }

  // ndisp bounds every finite disparity, in steps of 16.
  EXPECT_EQ(oculant::disparityLevels({0.0f, kInfinity}), 16);
  EXPECT_EQ(oculant::disparityLevels({19.3f, 3.0f}), 32);
  EXPECT_EQ(oculant::disparityLevels({16.0f}), 32);
  EXPECT_EQ(oculant::exactNumber(2.3), "2.3");
  EXPECT_EQ(std::strtod(oculant::exactNumber(0.1 + 0.2).c_str(), nullptr), 0.1 + 0.2);
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
  EXPECT_EQ(poses[1].x, -0.5);
  EXPECT_EQ(poses[1].y, 30.0);
  EXPECT_EQ(poses[1].heading, 45.0);

  for (const char* bad : {"1,2\n", "1,,2\n", "1,2,3,4\n", "1,2,nan\n", "1,2,inf\n",
                          "1,2,3\nx,y,heading\n", "# nothing\n"}) {
    EXPECT_FALSE(parsePoseList(bad, &poses, &error)) << bad;
  }
}

}  // namespace
