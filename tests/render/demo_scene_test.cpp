// The demo scene, read and textured as the bench does it, through the renderer of each role.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "gl_test_window.h"
#include "image/texture_loader.h"
#include "render/frame_renderer.h"
#include "render/gl_setup.h"
#include "render/text_overlay.h"
#include "scene/config_file.h"
#include "scene/scene_state.h"

namespace {

std::vector<uint8_t> demoFrame(InstanceRole instanceRole, int width, int height) {
  resetSceneState();
  role = instanceRole;
  setenv("OCULANT_HEADLESS", "1", 1);
  EXPECT_EQ(chdir(OCULANT_SOURCE_DIR "/examples/demo"), 0);
  EXPECT_EQ(readConfigFile(), 0);
  rigPose = {0.7, 0.7, 90.0};
  GlTestWindow window(width, height);
  EXPECT_TRUE(window.ok());
  initGlState(width, height);
  createTextFont(glResources.deviceContext);
  uploadTextures();
  drawFrame();
  return window.readBackBuffer();
}

// Mean absolute difference of the middle rows when the left view is moved left by shift.
double mismatch(const std::vector<uint8_t>& left, const std::vector<uint8_t>& right, int shift) {
  double sum = 0;
  int count = 0;
  for (int y = 60; y < 180; ++y) {
    for (int x = 40; x < 280; ++x) {
      sum += std::abs(pixelAt(left, 320, x + shift, y).g - pixelAt(right, 320, x, y).g);
      ++count;
    }
  }
  return sum / count;
}

TEST(DemoScene, EyeViewsFormAStereoPairAndTheOverviewShowsRigAndMarker) {
  const auto left = demoFrame(ROLE_LEFT_CAMERA, 320, 240);
  const auto right = demoFrame(ROLE_RIGHT_CAMERA, 320, 240);
  int lit = 0;
  for (uint8_t byte : left) lit += byte != 0;
  EXPECT_GT(lit, 320 * 240);
  EXPECT_NE(left, right);
  // Things stand further right in the left view: some positive shift matches far better than
  // none does.
  int best = 0;
  for (int shift = 1; shift <= 30; ++shift) {
    if (mismatch(left, right, shift) < mismatch(left, right, best)) best = shift;
  }
  EXPECT_GT(best, 0);
  EXPECT_LT(mismatch(left, right, best), 0.8 * mismatch(left, right, 0));

  const auto overview = demoFrame(ROLE_SCENE, 800, 600);
  // The rig sphere at (0.7, 0.7, 0.2), 724 pixels a unit at depth 1, 19.8 below the eye.
  const Pixel sphere = pixelAt(overview, 800, 426, 326);
  EXPECT_GT(sphere.r, sphere.b);  // the sphere's reddish colour
  // The marker's green x axis runs right from its origin at 86% of the width and 20% from
  // the top; the white heading label starts at its end.
  int green = 0, white = 0;
  for (int y = 470; y < 500; ++y) {
    for (int x = 690; x < 800; ++x) {
      const Pixel p = pixelAt(overview, 800, x, y);
      if (p.g > 200 && p.r < 50 && p.b < 50 && x < 760) ++green;
      if (p.r > 200 && p.g > 200 && p.b > 200 && x > 760) ++white;
    }
  }
  EXPECT_GT(green, 50);
  EXPECT_GT(white, 20);
}

}  // namespace
