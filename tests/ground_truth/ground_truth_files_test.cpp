// The pure parts of the ground truth: depth from the depth buffer, disparity from depth, and
// the pose list a recording reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

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
  int width = 0;
  int height = 0;
  std::vector<float> read;
  ASSERT_TRUE(oculant::readPfm(name, &width, &height, &read, &error)) << error;
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(read, values);

  std::string bigEndian = "Pf\n1 1\n1.0\n";
  bigEndian += std::string("\x41\x9a\x80\x00", 4);  // 19.3125
  std::FILE* file = std::fopen(name.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bigEndian.data(), 1, bigEndian.size(), file);
  std::fclose(file);
  ASSERT_TRUE(oculant::readPfm(name, &width, &height, &read, &error)) << error;
  EXPECT_EQ(read, std::vector<float>{19.3125f});
  std::remove(name.c_str());
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
