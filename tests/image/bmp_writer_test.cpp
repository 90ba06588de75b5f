#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "image/bmp_decoder.h"
#include "image/frame_capture.h"
#include "magick.h"

namespace {

// A frame as the capture lays it out: BGR pixels in rows of `stride` bytes, padding zero.
CaptureImage makeFrame(int width, int height, Bytes* storage) {
  CaptureImage image{nullptr, width, strideForWidth(width), height, 0};
  storage->assign(size_t(image.stride) * height + 1, 0);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < width * 3; ++i)
      (*storage)[size_t(y) * image.stride + i] = uint8_t(y * 13 + i);
  }
  image.pixels = storage->data();
  return image;
}

TEST(BmpWriter, WritesPaddedRowsReadBackUnshearedAndRefusesBadPaths) {
  const std::string dir = scratchDir();
  Bytes storage;
  const CaptureImage image = makeFrame(301, 7, &storage);  // 903 bytes of pixels in 904-byte rows
  ASSERT_EQ(writeBmp((dir + "/frame301.bmp").c_str(), image), 0);
  BmpLayout layout = makeLayout(40, true, 301, 7, 24);
  layout.pixels.assign(storage.begin(), storage.end() - 1);
  const Bytes file = readFile(dir + "/frame301.bmp");
  EXPECT_EQ(file, buildBmp(layout));
  RgbImage expected{301, 7, {}};
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 301; ++x) {
      for (int c = 2; c >= 0; --c) expected.rgb.push_back(storage[y * 904 + x * 3 + c]);
    }
  }
  EXPECT_EQ(magickRead(dir + "/frame301.bmp").rgb, expected.rgb);
  DecodedBmp decoded;
  ASSERT_EQ(decodeBmp(file.data(), file.size(), &decoded), BMP_OK);
  EXPECT_EQ(Bytes(decoded.rgb, decoded.rgb + expected.rgb.size()), expected.rgb);
  std::free(decoded.rgb);

  // A camera window's frame; saving again replaces the file, 0 x 0 is a bare header.
  const CaptureImage camera = makeFrame(312, 211, &storage);
  ASSERT_EQ(writeBmp((dir + "/image1.bmp").c_str(), camera), 0);
  EXPECT_EQ(readFile(dir + "/image1.bmp").size(), 54u + 936 * 211);
  ASSERT_EQ(writeBmp((dir + "/image1.bmp").c_str(), CaptureImage{nullptr, 0, 0, 0, 0}), 0);
  EXPECT_EQ(readFile(dir + "/image1.bmp"), buildBmp(makeLayout(40, true, 0, 0, 24)));

  writeFile(dir + "/plain", {1});  // a file where a folder should be stops root too
  EXPECT_EQ(writeBmp((dir + "/plain/image1.bmp").c_str(), camera), 1);
  EXPECT_EQ(writeBmp((dir + "/no/such/folder.bmp").c_str(), camera), 1);
  CaptureImage narrow = camera;
  narrow.stride = 20;
  EXPECT_EQ(writeBmp((dir + "/narrow.bmp").c_str(), narrow), 1);
  struct stat info;
  EXPECT_NE(stat((dir + "/narrow.bmp").c_str(), &info), 0) << "an unusable record writes nothing";
}

}  // namespace
