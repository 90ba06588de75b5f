// The eyes' places and orientation at a pose: pitch and roll turn both eyes with the rig about
// its centre, in the order heading, pitch, roll; a level rig is placed as it always was.
#include "render/camera_model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Vector {
  double x, y, z;
};

// The default half baseline is a float, 0.05 within 7.5e-10.
void expectNear(const double got[3], const Vector& want, const char* what, int line) {
  const double w[3] = {want.x, want.y, want.z};
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(got[i], w[i], 1e-9) << what << " " << i << ", case line " << line;
}

TEST(CameraModel, EyesFollowTheRigsHeightPitchAndRoll) {
  const struct {
    int line;
    RigPose pose;
    bool rightEye;
    double rightEyeYaw;
    Vector eye, ahead, up;
  } cases[] = {
      // Level: beside the rig at its height, looking along the heading.
      {__LINE__, {1, 2, 90, 0.2, 0, 0}, false, 0, {0.95, 2, 0.2}, {0, 1, 0}, {0, 0, 1}},
      {__LINE__, {1, 2, 90, 1.5, 0, 0}, true, 0, {1.05, 2, 1.5}, {0, 1, 0}, {0, 0, 1}},
      // Pitch turns the view up about the rig's right axis; the eyes stay where they are.
      {__LINE__,
       {0, 0, 0, 0.2, 30, 0},
       true,
       0,
       {0, -0.05, 0.2},
       {std::cos(M_PI / 6), 0, 0.5},
       {-0.5, 0, std::cos(M_PI / 6)}},
      {__LINE__, {0, 0, 90, 0.2, 90, 0}, false, 0, {-0.05, 0, 0.2}, {0, 0, 1}, {0, -1, 0}},
      {__LINE__, {0, 0, 90, 3, -90, 0}, false, 0, {-0.05, 0, 3}, {0, 0, -1}, {0, 1, 0}},
      // Roll 90 clockwise seen from behind: the rig's top turns to its right, the left eye up.
      {__LINE__, {0, 0, 90, 0.2, 0, 90}, false, 0, {0, 0, 0.25}, {0, 1, 0}, {1, 0, 0}},
      {__LINE__, {0, 0, 90, 0.2, 0, 90}, true, 0, {0, 0, 0.15}, {0, 1, 0}, {1, 0, 0}},
      // Pitch before roll: looking straight up, the roll turns about the vertical.
      {__LINE__, {0, 0, 0, 0.2, 90, 90}, false, 0, {-0.05, 0, 0.2}, {0, 0, 1}, {0, -1, 0}},
      // The right eye's own turn rides on the rig's: with the rig pitched by 90 its yaw turns
      // the view from straight up toward the rig's right.
      {__LINE__, {0, 0, 90, 0.2, 90, 0}, true, 90, {0.05, 0, 0.2}, {1, 0, 0}, {0, -1, 0}},
  };
  for (const auto& c : cases) {
    RigSettings rig = kDefaultRig;
    rig.rightEyeYaw = c.rightEyeYaw;
    const EyeView view = eyeViewAt(c.pose, rig, c.rightEye);
    const double ahead[3] = {view.centre[0] - view.eye[0], view.centre[1] - view.eye[1],
                             view.centre[2] - view.eye[2]};
    expectNear(view.eye, c.eye, "eye", c.line);
    expectNear(ahead, c.ahead, "ahead", c.line);
    expectNear(view.up, c.up, "up", c.line);
  }
}

}  // namespace
