// The set-up and teardown on a real bench window of the platform layer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/window.h"
#include "render/frame_renderer.h"
#include "render/gl_setup.h"
#include "render/text_overlay.h"
#include "scene/scene_state.h"

namespace {

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

// A 2 x 2 24-bit BMP, rows padded to 8 bytes.
std::string writeSmallBmp(const std::string& folder) {
  const std::string path = folder + "/small.bmp";
  std::vector<uint8_t> file(54 + 16, 0);
  auto put32 = [&](int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  file[0] = 'B', file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  file[26] = 1;
  file[28] = 24;
  for (int i = 54; i < 70; ++i) file[i] = 200;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return "";
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  return path;
}

TEST_F(BenchWindow, SetsUpContextFontAndTexturesThenTearsDownTwice) {
  role = ROLE_SCENE;
  sceneModel.objectCount = 2;
  sceneModel.objects[1].kind = OBJECT_SLAB;
  sceneModel.objects[1].textured = 1;
  const std::string texture = writeSmallBmp(folder_);
  std::snprintf(sceneModel.objects[1].fileName, kFileNameSize, "%s", texture.c_str());

  const HWND window = createWindow("oculant-render-test", "render test", 0, 0, 320, 240);
  ASSERT_NE(window, 0u);
  ASSERT_EQ(setUpGl(window), 0);
  EXPECT_NE(glResources.deviceContext, 0u);
  EXPECT_NE(glResources.renderContext, 0u);
  int width = 0, height = 0;
  ASSERT_TRUE(getClientRect(window, &width, &height));
  EXPECT_FLOAT_EQ(glResources.aspect, static_cast<float>(width) / height);
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
  EXPECT_EQ(glResources.deviceContext, 0u);
  EXPECT_EQ(glResources.renderContext, 0u);
  EXPECT_EQ(glResources.fontListBase, 0u);
  EXPECT_EQ(tearDownGl(window), 0);  // a quit reaching a closing window releases nothing twice
  destroyWindow(window);
}

TEST_F(BenchWindow, WithoutAPixelFormatShowsError1002AndSetsNothingUp) {
  role = ROLE_SCENE;
  const HWND noSuchWindow = 0x7fff0000;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(setUpGl(noSuchWindow), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Error1002\n");
  EXPECT_EQ(glResources.renderContext, 0u);
  EXPECT_EQ(glResources.fontListBase, 0u);
  EXPECT_EQ(overviewView.distance, 0.0);  // the overview's start values are not written
  EXPECT_EQ(overviewView.zoomStep, 0.0);
  EXPECT_EQ(tearDownGl(noSuchWindow), 0);
}

}  // namespace
