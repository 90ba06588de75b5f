// The projection's aspect through resizes, and the set-up and teardown on a real bench window.
#include "render/gl_setup.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "gl_test_window.h"
#include "platform/platform.h"
#include "render/gl_resources.h"
#include "render/text_overlay.h"
#include "scene/scene_state.h"
#include "test_bench.h"

namespace {

// The projection's x scale over its y scale: one over the aspect it was made for.
float projectedAspect() {
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return m[5] / m[0];
}

TEST(GlSetUp, ZeroHeightKeepsAValidProjectionUntilTheNextRealSize) {
  resetGlResources();
  GlTestWindow window(200, 100);
  ASSERT_TRUE(window.ok());
  OverviewView overview = {};
  initGlState(200, 0, ROLE_SCENE, kDefaultRig, &overview);  // nothing valid yet: a square aspect
  EXPECT_FLOAT_EQ(projectedAspect(), 1.0f);
  resizeGl(300, 150, ROLE_SCENE, kDefaultRig);
  resizeGl(300, 0, ROLE_SCENE, kDefaultRig);  // minimised: the last aspect stays
  resizeGl(0, 0, ROLE_SCENE, kDefaultRig);
  EXPECT_FLOAT_EQ(projectedAspect(), 2.0f);
}

TEST(GlSetUp, ABenchWindowIsSetUpAndTornDownOnceAndAMissingOneShowsError1002) {
  PrivateRuntimeDir runtime;
  setenv("OCULANT_HEADLESS", "1", 1);
  ASSERT_TRUE(registerWindowClass("oculant-render-test", defWindowProc));
  resetGlResources();
  OverviewView overview = {};
  const HWND window = createWindow("oculant-render-test", "render test", 0, 0, 320, 240);
  ASSERT_EQ(setUpGl(window, ROLE_SCENE, kDefaultRig, &overview), 0);
  EXPECT_EQ(overview.distance, 20.0);
  EXPECT_TRUE(glIsList(glResources.fontListBase + kFontGlyphCount - 1));
  EXPECT_EQ(tearDownGl(window), 0);
  EXPECT_EQ(glResources.renderContext, 0u);
  EXPECT_EQ(glResources.fontListBase, 0u);
  EXPECT_EQ(tearDownGl(window), 0);  // a quit reaching a closing window releases nothing twice
  destroyWindow(window);
  resetGlResources();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(setUpGl(0x7fff0000, ROLE_SCENE, kDefaultRig, &overview), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Error1002\n");
  EXPECT_EQ(glResources.renderContext, 0u) << "nothing else is set up";
  EXPECT_EQ(glResources.fontListBase, 0u) << "nothing else is set up";
}

}  // namespace
