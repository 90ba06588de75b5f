// The projection's aspect through resizes, and the set-up and teardown on a real bench window.
#include "render/gl_setup.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bmp_builder.h"
#include "gl_test_window.h"
#include "magick.h"
#include "platform/window.h"
#include "render/frame_renderer.h"
#include "render/text_overlay.h"
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

TEST(GlSetUp, ZeroHeightKeepsAValidProjectionUntilTheNextRealSize) {
  resetSceneState();
  GlTestWindow window(200, 100);
  ASSERT_TRUE(window.ok());
  initGlState(200, 0);  // nothing valid yet: a square aspect
  EXPECT_EQ(glResources.aspect, 1.0f);
  expectPerspective(1.0f);

  resizeGl(300, 150);

  resizeGl(300, 0);  // minimised: the last aspect stays
  resizeGl(0, 0);
  EXPECT_EQ(glResources.aspect, 2.0f);
  expectPerspective(2.0f);
}

// A private bench folder and no blocking message boxes for this test process.
class BenchWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/oculant-render-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    setenv("OCULANT_RUNTIME_DIR", (folder_ + "/run").c_str(), 1);
    setenv("OCULANT_HEADLESS", "1", 1);
    ASSERT_TRUE(registerWindowClass("oculant-render-test", defWindowProc));
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }
  void SetUp() override { resetSceneState(); }

  static std::string folder_;
};
std::string BenchWindow::folder_;

TEST_F(BenchWindow, SetsUpContextFontAndTexturesThenTearsDownTwice) {
  role = ROLE_SCENE;
  sceneModel.objectCount = 2;
  sceneModel.objects[1].kind = OBJECT_SLAB;
  sceneModel.objects[1].textured = 1;
  const std::string texture = folder_ + "/small.bmp";
  BmpLayout small = makeLayout(40, true, 2, 2, 24);
  small.pixels = Bytes(16, 200);
  writeFile(texture, buildBmp(small));
  std::snprintf(sceneModel.objects[1].fileName, kFileNameSize, "%s", texture.c_str());

  const HWND window = createWindow("oculant-render-test", "render test", 0, 0, 320, 240);
  ASSERT_NE(window, 0u);
  ASSERT_EQ(setUpGl(window), 0);
  EXPECT_EQ(overviewView.distance, 20.0);
  const GLuint fontBase = glResources.fontListBase;
  EXPECT_TRUE(glIsList(fontBase + kFontGlyphCount - 1));
  // The object's image went into the texture name of its own index.
  EXPECT_EQ(sceneModel.objects[1].textureSlot, 1);
  glBindTexture(GL_TEXTURE_2D, TextureSlots[1]);
  GLint textureWidth = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
  EXPECT_EQ(textureWidth, 2);

  renderFrame();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  EXPECT_EQ(tearDownGl(window), 0);
  EXPECT_EQ(glResources.renderContext + glResources.fontListBase, 0u);
  EXPECT_EQ(tearDownGl(window), 0);  // a quit reaching a closing window releases nothing twice
  destroyWindow(window);
}

TEST_F(BenchWindow, WithoutAPixelFormatShowsError1002AndSetsNothingUp) {
  role = ROLE_SCENE;
  const HWND noSuchWindow = 0x7fff0000;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(setUpGl(noSuchWindow), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Error1002\n");
  EXPECT_EQ(glResources.renderContext + glResources.fontListBase, 0u);
  EXPECT_EQ(tearDownGl(noSuchWindow), 0);
}

}  // namespace
