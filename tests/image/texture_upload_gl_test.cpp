#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "bmp_builder.h"
#include "gl_test_window.h"
#include "magick.h"
#include "render/gl_resources.h"
#include "render/texture_upload.h"
#include "scene/scene_state.h"

namespace {

Bytes textureOf(uint32_t name) {
  GLint width = 0, height = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  Bytes pixels(size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!pixels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

TEST(TextureUpload, EveryTexturedObjectGetsItsImageAndFailuresAreReported) {
  GlTestWindow window{64, 64};
  ASSERT_TRUE(window.ok()) << SDL_GetError();
  setenv("OCULANT_HEADLESS", "1", 1);
  resetGlResources();
  SceneModel sceneModel = {};
  TextureImage* imageSlots[kImageSlotCapacity] = {};
  const std::string dir = scratchDir();
  // A palette image with 9-byte rows: it only uploads right with an unpack alignment of 1.
  BmpLayout odd = makeLayout(40, true, 3, 5, 8, 0, 4);
  odd.palette = {Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}, Rgb{9, 99, 199}};
  odd.pixels = packRows(3, 5, 8, [](int x, int y) { return uint32_t(x + y) % 4; });
  writeFile(dir + "/odd.bmp", buildBmp(odd));
  BmpLayout v5 = makeLayout(124, true, 2, 2, 24);
  v5.pixels = packRows(2, 2, 24, [](int, int) { return 0u; });
  writeFile(dir + "/v5.bmp", buildBmp(v5));
  const std::pair<bool, const char*> objects[] = {
      {true, "odd.bmp"}, {false, "odd.bmp"}, {true, "missing.bmp"}, {true, "v5.bmp"}};
  sceneModel.objectCount = 5;
  for (int i = 0; i < 4; ++i) {
    sceneModel.objects[i].kind = OBJECT_SLAB;
    sceneModel.objects[i].textured = objects[i].first;
    std::snprintf(sceneModel.objects[i].fileName, kFileNameSize, "%s/%s", dir.c_str(),
                  objects[i].second);
  }
  // A textured mesh names its OBJ file, no image: nothing is loaded for it here.
  sceneModel.objects[4].kind = OBJECT_MESH;
  sceneModel.objects[4].textured = 1;
  std::snprintf(sceneModel.objects[4].fileName, kFileNameSize, "%s/mesh.obj", dir.c_str());
  testing::internal::CaptureStderr();
  uploadTextures(ROLE_SCENE, &sceneModel, imageSlots);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Failed to open DIB file " + dir +
                "/missing.bmp.\n\nError: Unknown DIB file format.\n");
  EXPECT_EQ(std::set<uint32_t>(TextureSlots, TextureSlots + 5).size(), 5u) << "a name each";
  EXPECT_EQ(TextureSlots[5], 0u);
  EXPECT_EQ(textureOf(TextureSlots[0]), magickRead(dir + "/odd.bmp").rgb);
  for (int i : {1, 2, 3, 4}) EXPECT_TRUE(textureOf(TextureSlots[i]).empty()) << "object " << i;
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4) << "the unpack alignment is given back";
  sceneModel.objectCount = kObjectRecordCapacity;  // never more names than scene objects
  uploadTextures(ROLE_SCENE, &sceneModel, imageSlots);
  for (int i = 0; i < kTextureSlotCapacity; ++i)
    EXPECT_EQ(TextureSlots[i] != 0, i < kMaxSceneObjects) << i;
  resetGlResources();
}

}  // namespace
