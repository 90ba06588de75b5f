#include "image/texture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bmp_builder.h"
#include "magick.h"

namespace {

TEST(TextureFile, LoadsA64By64TrueColourFileBottomRowFirst) {
  const std::string source = scratchDir() + "/tex64.ppm", target = scratchDir() + "/tex64.bmp";
  RgbImage picture{64, 64, Bytes(64 * 64 * 3)};
  for (size_t i = 0; i < picture.rgb.size(); ++i) picture.rgb[i] = uint8_t(i * 7 + i / 192);
  writePpm(source, picture);
  ASSERT_TRUE(runCommand("convert '" + source + "' 'BMP3:" + target + "'"));

  std::string failure;
  TextureImage* image = readTextureImage(target.c_str(), &failure);
  ASSERT_NE(image, nullptr) << failure;
  EXPECT_EQ(image->width, 64);
  EXPECT_EQ(image->height, 64);
  EXPECT_EQ(Bytes(image->pixels, image->pixels + 12288), picture.rgb);
  EXPECT_EQ(image->pixels[0], picture.rgb[0]);  // the red of the bottom-left pixel
  freeTextureImage(image);
  freeTextureImage(nullptr);
}

std::string failureFor(const std::string& path) {
  std::string failure;
  TextureImage* image = readTextureImage(path.c_str(), &failure);
  EXPECT_EQ(image, nullptr) << path;
  freeTextureImage(image);
  return failure;
}

TEST(TextureFile, EachFailureHasItsOwnText) {
  const std::string dir = scratchDir();
  EXPECT_EQ(failureFor(dir + "/missing.bmp"), "Failed to open DIB file " + dir + "/missing.bmp.\n");
  writeFile(dir + "/empty.bmp", {});
  EXPECT_EQ(failureFor(dir + "/empty.bmp"), "Failed to open DIB file " + dir + "/empty.bmp.\n");
  ASSERT_EQ(mkdir((dir + "/folder.bmp").c_str(), 0700), 0);
  EXPECT_EQ(failureFor(dir + "/folder.bmp"), "Failed to open DIB file " + dir + "/folder.bmp.\n");

  BmpSpec v5 = makeSpec(124, true, 4, 4, 24);
  v5.pixels = packRows(4, 4, 24, [](int, int) { return 0u; });
  writeFile(dir + "/v5.bmp", buildBmp(v5));
  EXPECT_EQ(failureFor(dir + "/v5.bmp"), "Unknown DIB file format.");

  BmpSpec cut = makeSpec(40, true, 4, 4, 24);
  cut.pixels = packRows(4, 3, 24, [](int, int) { return 0u; });  // one row short
  writeFile(dir + "/cut.bmp", buildBmp(cut));
  EXPECT_EQ(failureFor(dir + "/cut.bmp"), "Image file conversion error.");
  writeFile(dir + "/tiny.bmp", {'B', 'M', 0});
  EXPECT_EQ(failureFor(dir + "/tiny.bmp"), "Image file conversion error.");
}

}  // namespace
