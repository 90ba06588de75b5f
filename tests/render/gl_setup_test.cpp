// The fixed state of a fresh context, the projection's aspect through resizes, and the set-up
// and teardown on a real bench window.
#include "render/gl_setup.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "gl_test_window.h"
#include "scene/scene_state.h"

namespace {

constexpr double kPi = 3.141592653589793;

void expectPerspective(float aspect) {
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  const float cot = static_cast<float>(1 / std::tan(22.5 * kPi / 180));
  EXPECT_NEAR(m[0], cot / aspect, 1e-5);
  EXPECT_NEAR(m[5], cot, 1e-5);
  EXPECT_NEAR(m[10], -(2000 + 0.1) / (2000 - 0.1), 1e-5);
  EXPECT_NEAR(m[11], -1, 1e-6);
  EXPECT_NEAR(m[14], -2 * 2000 * 0.1 / (2000 - 0.1), 1e-5);
}

TEST(GlSetUp, InitialStateLightsFromTheEyeAndStartsTheOverviewPerRole) {
  for (InstanceRole instanceRole : {ROLE_SCENE, ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    resetSceneState();
    role = instanceRole;
    GlTestWindow window(400, 300);
    ASSERT_TRUE(window.ok());
    initGlState(400, 300);
    EXPECT_FLOAT_EQ(glResources.aspect, 400.0f / 300.0f);
    expectPerspective(400.0f / 300.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    for (GLenum capability : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL}) {
      EXPECT_TRUE(glIsEnabled(capability)) << capability;
    }
    for (GLenum capability : {GL_CULL_FACE, GL_NORMALIZE, GL_BLEND, GL_FOG, GL_TEXTURE_2D}) {
      EXPECT_FALSE(glIsEnabled(capability)) << capability;
    }
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    EXPECT_EQ(light[2], 100.0f);
    EXPECT_EQ(light[3], 0.0f);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_EQ(light[0], 1.0f);

    EXPECT_EQ(overviewView.distance, instanceRole == ROLE_SCENE ? 20.0 : 0.0);
    EXPECT_EQ(overviewView.zoomStep, 0.5);
    EXPECT_EQ(overviewView.panStep, 0.5);
    EXPECT_EQ(overviewView.tiltStep, 6.0f);
    EXPECT_EQ(overviewView.spinStep, 2.5f);
  }
}

TEST(GlSetUp, ZeroHeightKeepsAValidProjectionUntilTheNextRealSize) {
  resetSceneState();
  GlTestWindow window(200, 100);
  ASSERT_TRUE(window.ok());
  initGlState(200, 0);  // nothing valid yet: a square aspect
  EXPECT_EQ(glResources.aspect, 1.0f);
  expectPerspective(1.0f);

  resizeGl(300, 150);
  EXPECT_EQ(glResources.aspect, 2.0f);
  expectPerspective(2.0f);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 300);
  EXPECT_EQ(viewport[3], 150);

  resizeGl(300, 0);  // minimised: the last aspect stays
  EXPECT_EQ(glResources.aspect, 2.0f);
  expectPerspective(2.0f);
  resizeGl(0, 0);
  expectPerspective(2.0f);
  resizeGl(100, 200);
  EXPECT_EQ(glResources.aspect, 0.5f);
  expectPerspective(0.5f);
}

}  // namespace
