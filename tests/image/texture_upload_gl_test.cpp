#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "bmp_builder.h"
#include "gl_test_window.h"
#include "image/texture_file.h"
#include "image/texture_loader.h"
#include "magick.h"
#include "scene/scene_state.h"

namespace {

void addObject(int index, bool textured, const std::string& fileName) {
  SceneObject& object = sceneModel.objects[index];
  object.kind = OBJECT_SLAB;
  object.textured = textured ? 1 : 0;
  std::snprintf(object.fileName, sizeof object.fileName, "%s", fileName.c_str());
}

Bytes textureOf(uint32_t name, int* width, int* height) {
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
  Bytes pixels(size_t(*width) * *height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!pixels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// Counts the "Error: " lines that message boxes print.
int errorLines(const std::string& text) {
  int count = 0;
  for (size_t at = text.find("Error: "); at != std::string::npos;
       at = text.find("Error: ", at + 1)) {
    ++count;
  }
  return count;
}

class TextureUpload : public ::testing::Test {
 protected:
  GlTestWindow window{64, 64};
  void SetUp() override {
    ASSERT_TRUE(window.ok()) << SDL_GetError();
    setenv("OCULANT_HEADLESS", "1", 1);
    resetSceneState();
  }
  void TearDown() override { resetSceneState(); }
};

TEST_F(TextureUpload, EveryTexturedObjectGetsItsImageInTheNameOfItsIndex) {
  const std::string dir = scratchDir();
  // A 4 x 4 true-colour file from ImageMagick and a 3 x 5 palette image made by hand: its
  // 9-byte rows only upload right with an unpack alignment of 1.
  RgbImage picture{4, 4, Bytes(48)};
  for (size_t i = 0; i < picture.rgb.size(); ++i) picture.rgb[i] = uint8_t(i * 37);
  writePpm(dir + "/wall.ppm", picture);
  ASSERT_TRUE(runCommand("convert '" + dir + "/wall.ppm' 'BMP3:" + dir + "/wall.bmp'"));
  BmpLayout odd = makeLayout(40, true, 3, 5, 8, 0, 4);
  odd.palette = {Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}, Rgb{9, 99, 199}};
  odd.pixels = packRows(3, 5, 8, [](int x, int y) { return uint32_t(x + y) % 4; });
  writeFile(dir + "/odd.bmp", buildBmp(odd));
  BmpLayout v5 = makeLayout(124, true, 2, 2, 24);
  v5.pixels = packRows(2, 2, 24, [](int, int) { return 0u; });
  writeFile(dir + "/v5.bmp", buildBmp(v5));

  addObject(0, true, dir + "/wall.bmp");
  addObject(1, false, dir + "/wall.bmp");
  addObject(2, true, dir + "/odd.bmp");
  addObject(3, true, dir + "/missing.bmp");
  addObject(4, true, dir + "/v5.bmp");
  sceneModel.objectCount = 5;

  testing::internal::CaptureStderr();
  uploadTextures();
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(errorLines(messages), 2) << messages;
  EXPECT_NE(messages.find("Error: Failed to open DIB file " + dir + "/missing.bmp.\n"),
            std::string::npos)
      << messages;
  EXPECT_NE(messages.find("Error: Unknown DIB file format."), std::string::npos) << messages;

  std::set<uint32_t> names(TextureSlots, TextureSlots + 5);
  EXPECT_EQ(names.size(), 5u);
  EXPECT_EQ(names.count(0), 0u);
  EXPECT_EQ(TextureSlots[5], 0u);
  const int slots[] = {0, 0, 2, 3, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(sceneModel.objects[i].textureSlot, slots[i]) << i;
    EXPECT_EQ(imageSlots[i], nullptr) << i;
  }
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4) << "the unpack alignment is given back";

  for (int i : {0, 2}) {
    std::string failure;
    TextureImage* expected = readTextureImage(sceneModel.objects[i].fileName, &failure);
    ASSERT_NE(expected, nullptr) << failure;
    int width = 0, height = 0;
    const Bytes uploaded = textureOf(TextureSlots[i], &width, &height);
    EXPECT_EQ(width, expected->width) << i;
    EXPECT_EQ(height, expected->height) << i;
    EXPECT_EQ(uploaded, Bytes(expected->pixels, expected->pixels + uploaded.size())) << i;
    EXPECT_EQ(magickRead(sceneModel.objects[i].fileName).rgb, uploaded) << i;
    freeTextureImage(expected);
  }
  for (int i : {1, 3, 4}) {
    int width = -1, height = -1;
    textureOf(TextureSlots[i], &width, &height);
    EXPECT_EQ(width, 0) << "object " << i << " has a name but no image";
  }
}

TEST_F(TextureUpload, NoObjectsNoNamesAndNeverMoreThanThirty) {
  sceneModel.objectCount = 0;
  uploadTextures();
  for (uint32_t name : TextureSlots) EXPECT_EQ(name, 0u);

  sceneModel.objectCount = kObjectRecordCapacity;
  uploadTextures();
  for (int i = 0; i < kTextureSlotCapacity; ++i) {
    EXPECT_EQ(TextureSlots[i] != 0, i < kMaxSceneObjects) << i;
  }
}

}  // namespace
