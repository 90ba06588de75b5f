// Frames as they come out of the back buffer: the eye views of a textured wall differ by the
// stereo shift, scenes without textures stay black, the overview shows the third object on F1.
#include "render/frame_renderer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "gl_test_window.h"
#include "render/gl_resources.h"
#include "render/gl_setup.h"
#include "scene/input_state.h"
#include "scene/scene_state.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Starts each case as the bench starts a window: zeroed state, the role, the GL set-up on a
// fresh context.
class FrameTest : public ::testing::Test {
 protected:
  void start(InstanceRole instanceRole, int width, int height) {
    resetSceneState();
    resetGlResources();
    resetInputState();
    role = instanceRole;
    rigPose = {0.7, 0.7, 90.0};
    window_.reset(new GlTestWindow(width, height));
    ASSERT_TRUE(window_->ok());
    initGlState(width, height);
  }

  std::vector<uint8_t> frame() {
    drawFrame();
    return window_->readBackBuffer();
  }

  // A 2 x 2 texture whose left column is white and right column black: along s each unit
  // holds a white half then a black half.
  GLuint stripeTexture() {
    const uint8_t texels[] = {255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    return name;
  }

  std::unique_ptr<GlTestWindow> window_;
};

// A lattice whose only visible wall faces the rig: HEIGHT 0 leaves out the side walls, and
// its nearest face lies at y = -Z - 0.2 = 3, spanning x -5..5 and z -0.8..1.2. Lattices wear
// the texture of index 1, which the test puts in TextureSlots[1]; the untextured slab before
// it only sets the colour, white.
void placeWallScene(bool textured) {
  sceneModel.objectCount = 3;
  SceneObject& colour = sceneModel.objects[0];
  colour.kind = OBJECT_SLAB;
  colour.R = colour.G = colour.B = 1;
  SceneObject& wall = sceneModel.objects[2];
  wall.kind = OBJECT_LATTICE;
  wall.X = -5, wall.Y = -0.8, wall.Z = -3.2, wall.WIDTH = 10, wall.HEIGHT = 0;
  wall.textured = textured;
  wall.textureSlot = 2;
  rigPose = {0.0, 0.0, 90.0};  // looking along +y, world x to the right on screen
}

// Pixel columns where a row turns from dark to bright (+) or bright to dark (-): the column of
// the first pixel of the new run, signed.
std::vector<int> transitions(const std::vector<uint8_t>& image, int width, int row) {
  std::vector<int> edges;
  for (int x = 1; x < width; ++x) {
    const bool was = pixelAt(image, width, x - 1, row).r > 60;
    const bool is = pixelAt(image, width, x, row).r > 60;
    if (was != is) edges.push_back(is ? x : -x);
  }
  return edges;
}

TEST_F(FrameTest, EyeViewsAreBlackWithoutTexturesAndDifferByTheStereoShift) {
  std::vector<int> measured[2];
  for (InstanceRole eye : {ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    start(eye, 320, 240);
    placeWallScene(false);
    const auto black = frame();
    EXPECT_EQ(std::count(black.begin(), black.end(), 0), long(black.size())) << "untextured";
    placeWallScene(true);
    TextureSlots[1] = stripeTexture();
    const auto image = frame();
    measured[eye - 1] = transitions(image, 320, 120);
    // The wall spans z -0.8..1.2 around the eye height 0.2: +-1 at depth 3 is 96.6 pixels.
    EXPECT_EQ(pixelAt(image, 320, 160, 120 + 110).r, 0) << "above the wall";
    EXPECT_GT(measured[eye - 1].size(), 4u) << "stripe edges of role " << eye;
  }
  // The same wall edge sits f * 0.1 / 3 = 9.66 pixels further right in the left view.
  const double shift = 120 / std::tan(22.5 * kPi / 180.0) * 0.1 / 3.0;
  double sum = 0;
  int count = 0;
  for (int left : measured[0]) {
    for (int right : measured[1]) {
      const int d = std::abs(left) - std::abs(right);
      if ((left > 0) == (right > 0) && d > 0 && d < 20) sum += d, ++count;
    }
  }
  ASSERT_GT(count, 4);
  EXPECT_NEAR(sum / count, shift, 0.6);
}

// Whether the initial overview (eye 20 above the origin, looking down, world x right and y up)
// is black where the ground point (x, y) lands.
bool overviewBlackAt(const std::vector<uint8_t>& image, double x, double y) {
  const double f = 300 / std::tan(22.5 * kPi / 180.0);
  const Pixel p =
      pixelAt(image, 800, int(std::lround(400 + f * x / 20)), int(std::lround(300 + f * y / 20)));
  return p.r == 0 && p.g == 0 && p.b == 0;
}

TEST_F(FrameTest, ThirdObjectIsHiddenInTheOverviewUntilF1ButAlwaysInEyeViews) {
  auto placeSlabs = [this] {
    TextureSlots[0] = TextureSlots[1] = TextureSlots[2] = stripeTexture();
    sceneModel.objectCount = 3;
    const double xs[3] = {-6, 3, -2};
    for (int i = 0; i < 3; ++i) {
      SceneObject& slab = sceneModel.objects[i];
      slab.kind = OBJECT_SLAB;
      slab.X = xs[i], slab.Y = 3, slab.Z = 0, slab.WIDTH = 0.45, slab.HEIGHT = 1;
      slab.textured = 1;
      slab.textureSlot = i;
    }
  };
  start(ROLE_SCENE, 800, 600);
  placeSlabs();
  EXPECT_TRUE(overviewBlackAt(frame(), -1.8, 3.5));
  EXPECT_FALSE(overviewBlackAt(frame(), -5.8, 3.5)) << "the first object is shown";
  inputState.showThirdObject = true;
  EXPECT_FALSE(overviewBlackAt(frame(), -1.8, 3.5));

  // The left eye straight in front of the third slab (x -2..-1.55, y 3..4, top at z 0) sees
  // its top face just below the horizon, F1 or not.
  start(ROLE_LEFT_CAMERA, 320, 240);
  placeSlabs();
  rigPose = {-1.725, 0.0, 90.0};  // the left eye stands at x = -1.775
  const double f = 120 / std::tan(22.5 * kPi / 180.0);
  const int slabRow = static_cast<int>(std::lround(120 - f * 0.2 / 3.5));
  inputState.showThirdObject = false;
  const Pixel p = pixelAt(frame(), 320, 160, slabRow);
  EXPECT_GT(p.r + p.g + p.b, 0);
}

}  // namespace
