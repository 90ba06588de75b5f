// Motion truth before a wall, checked against the flow and disparity change worked out by hand.
#include "oculant/motion_truth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "depth_visibility.h"
#include "magick.h"

namespace {

constexpr double kPi = 3.141592653589793;
// Odd sizes put a pixel centre on the principal point.
constexpr int kWidth = 65;
constexpr int kHeight = 49;
constexpr double kFocal = 60;
constexpr double kBaseline = 0.1;
constexpr double kWall = 1.5;
constexpr double kKeep = std::numeric_limits<double>::quiet_NaN();

oculant::CameraModel eye(double offset, oculant::Pose pose) {
  oculant::CameraModel camera;
  camera.width = kWidth, camera.height = kHeight, camera.focalLength = kFocal;
  camera.centreX = (kWidth - 1) / 2.0, camera.centreY = (kHeight - 1) / 2.0;
  camera.eyeOffset = offset, camera.nearPlane = 0.1, camera.farPlane = 2000;
  camera.depthBits = 24;
  camera.pose = pose;
  return camera;
}

oculant::DepthMap flat(double z) {
  oculant::DepthMap depth;
  depth.width = kWidth, depth.height = kHeight;
  depth.values.assign(kWidth * kHeight, static_cast<float>(z));
  return depth;
}

struct Motion {
  const char* name;
  oculant::Pose next;
  double nextWall;  // the wall's depth in the next view, where it is fronto-parallel
  double u;         // the flow at the centre pixel
  double v;
  double change;  // the disparity change at the centre pixel
  int known;      // how many pixels keep their motion
};

TEST(MotionTruth, BeforeAWall) {
  const oculant::Pose start = {0, 0, 90};  // looking along +y: the rig's right is +x
  const double turn = 5 * kPi / 180;
  // Turned left by 5 degrees about the rig's centre, the left eye (0.05 to its left) sees the
  // wall point straight ahead of where it stood at (x, z) in its new frame:
  const double ex = -0.05 * std::cos(turn), ey = -0.05 * std::sin(turn);  // the eye's new place
  const double px = -0.05, py = kWall;                                    // the point
  const double turnedX = (px - ex) * std::cos(turn) + (py - ey) * std::sin(turn);
  const double turnedZ = -(px - ex) * std::sin(turn) + (py - ey) * std::cos(turn);
  const double fb = kFocal * kBaseline;
  const Motion motions[] = {
      // Moving right by 0.1 shifts the wall left by f * 0.1 / 1.5 = 4 pixels: the four columns
      // on the left leave the view.
      {"sideways", {0.1, 0, 90}, kWall, -kFocal * 0.1 / kWall, 0, 0, (kWidth - 4) * kHeight},
      // Moving 0.1 towards it spreads the view by 1.5 / 1.4 about the centre: the two columns
      // and rows at each edge leave it.
      {"forward", {0, 0.1, 90}, kWall - 0.1, 0, 0, fb / 1.4 - fb / kWall, 61 * 45},
      {"turning", {0, 0, 95}, 0, kFocal * turnedX / turnedZ, 0, -1, -1},
      // Pitched up by 5 degrees about the rig's right axis, on which both eyes stand, the
      // point straight ahead lies f tan 5 degrees below the centre.
      {"pitching", {0, 0, 90, kKeep, 5, 0}, 0, 0, kFocal * std::tan(turn), -1, -1},
  };
  for (const Motion& m : motions) {
    const oculant::CameraModel left = eye(-0.05, start), right = eye(0.05, start);
    const oculant::CameraModel nextLeft = eye(-0.05, m.next), nextRight = eye(0.05, m.next);
    // A turned wall is no longer at one depth; nothing drawn at the next pose hides nothing.
    const oculant::DepthMap nextDepth =
        m.nextWall > 0 ? flat(m.nextWall) : flat(std::numeric_limits<double>::infinity());
    const oculant::MotionTruth truth =
        oculant::motionTruth(flat(kWall), left, right, nextDepth, nextLeft, nextRight);
    const size_t centre = 2 * ((kHeight / 2) * kWidth + kWidth / 2);
    EXPECT_NEAR(truth.flow.values[centre], m.u, 1e-4) << m.name;
    EXPECT_NEAR(truth.flow.values[centre + 1], m.v, 1e-4) << m.name;
    if (m.change >= 0) {
      EXPECT_NEAR(truth.disparityChange[centre / 2], m.change, 1e-4) << m.name;
    }
    int known = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) known += truth.flow.known(x, y);
    if (m.known >= 0) {
      EXPECT_EQ(known, m.known) << m.name;
    }
  }
}

TEST(MotionTruth, HiddenPointsHaveNoMotion) {
  const oculant::Pose pose = {0, 0, 90};
  const oculant::CameraModel left = eye(-0.05, pose), right = eye(0.05, pose);
  // At the next pose (the same) a board 1 away covers the top half of the view.
  oculant::DepthMap next = flat(kWall);
  for (int y = 0; y < kHeight / 2; ++y)
    for (int x = 0; x < kWidth; ++x) next.values[(kHeight - 1 - y) * kWidth + x] = 1.0f;
  const oculant::MotionTruth truth =
      oculant::motionTruth(flat(kWall), left, right, next, left, right);
  EXPECT_FALSE(truth.flow.known(10, 5));
  EXPECT_EQ(truth.flow.values[2 * (5 * kWidth + 10)], oculant::kUnknownFlow);
  EXPECT_EQ(truth.disparityChange[(kHeight - 1 - 5) * kWidth + 10],
            std::numeric_limits<float>::infinity());
  EXPECT_TRUE(truth.flow.known(10, kHeight - 5));
  EXPECT_NEAR(truth.flow.values[2 * ((kHeight - 5) * kWidth + 10)], 0, 1e-9);
  EXPECT_NEAR(truth.disparityChange[4 * kWidth + 10], 0, 1e-9);
  // Nothing seen, nothing to move.
  const oculant::MotionTruth empty = oculant::motionTruth(
      flat(std::numeric_limits<double>::infinity()), left, right, next, left, right);
  EXPECT_FALSE(empty.flow.known(10, kHeight - 5));
}

// What writeFlo writes, OpenCV reads, and what OpenCV writes, readFlo reads, in the end-to-end
// test of a recording; here the files that are refused.
TEST(MotionTruth, FloFilesThatAreRefused) {
  const std::string name = ::testing::TempDir() + "motion.flo";
  std::string error;
  oculant::FlowField read;
  writeText(name, "PIEH" + std::string("\2\0\0\0\1\0\0\0", 8));  // 2 x 1, no values
  EXPECT_FALSE(oculant::readFlo(name, &read, &error));
  EXPECT_NE(error.find("end early"), std::string::npos) << error;
  EXPECT_FALSE(oculant::writeFlo(name, oculant::FlowField{}, &error)) << "no values to write";
  std::remove(name.c_str());
}

}  // namespace

// The pixels around a position come from integer conversions standing in for floor and round:
// they must pick what those would, at pixel centres, halfway and the view's edges.
TEST(MotionTruth, PixelsAroundAPositionAreThoseOfFloorAndRound) {
  for (const double p : {-0.51, -0.5, -0.4999, -1e-7, 0.0, 4e-7, 0.3, 0.5, 0.9999995, 1.5,
                         2.5000001, 63.9, 63.9999999, 64.4999, 64.5}) {
    int index[2] = {-9, -9};
    const int count = oculant::pixelsAround(p, kWidth, index);
    std::vector<int> expected;
    if (p >= -0.5 && p < kWidth - 0.5) {
      const double nearest = std::round(p);
      const int below = static_cast<int>(std::floor(p));
      if (std::abs(p - nearest) < 1e-6) {
        expected = {static_cast<int>(nearest)};
      } else {
        if (below >= 0) expected.push_back(below);
        if (below + 1 < kWidth) expected.push_back(below + 1);
      }
    }
    EXPECT_EQ(std::vector<int>(index, index + count), expected) << "at " << p;
  }
}
