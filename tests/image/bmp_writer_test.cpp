#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "image/bmp_decoder.h"
#include "image/frame_capture.h"
#include "magick.h"

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// A frame as the capture lays it out: BGR pixels, rows of `stride` bytes, padding zero.
CaptureImage makeFrame(int width, int height, Bytes* storage) {
  CaptureImage image{nullptr, width, strideForWidth(width), height, 0xDEADBEEF};
  storage->assign(size_t(image.stride) * height + 1, 0);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < width * 3; ++i)
      (*storage)[size_t(y) * image.stride + i] = uint8_t(y * 13 + i);
  }
  image.pixels = storage->data();
  return image;
}

// The file a writer of the format's definition makes from the same rows.
Bytes expectedFile(const CaptureImage& image) {
  BmpLayout layout = makeLayout(40, true, image.width, image.height, 24);
  layout.pixels.assign(image.pixels, image.pixels + size_t(image.stride) * image.height);
  return buildBmp(layout);
}

TEST(BmpWriter, PaddedRowsAreWrittenAsCapturedAndReadBackUnsheared) {
  for (const auto& [width, stride] : {std::pair<int32_t, int32_t>{0, 0},
                                      {1, 4},
                                      {4, 12},
                                      {301, 904},
                                      {320, 960},
                                      {-1, 0},
                                      {16384, 49152}}) {
    EXPECT_EQ(strideForWidth(width), stride) << width;
  }
  Bytes storage;
  const CaptureImage image = makeFrame(301, 7, &storage);
  const std::string path = scratchDir() + "/frame301.bmp";
  ASSERT_EQ(writeBmp(path.c_str(), image), 0);
  const Bytes file = readFile(path);
  EXPECT_EQ(file, expectedFile(image));
  for (int y = 0; y < 7; ++y) EXPECT_EQ(file[54 + y * 904 + 903], 0) << "padding of row " << y;

  // ImageMagick and the decoder see the picture straight from the BGR rows.
  RgbImage expected{301, 7, Bytes(301 * 7 * 3)};
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 301; ++x) {
      for (int c = 0; c < 3; ++c)
        expected.rgb[(y * 301 + x) * 3 + c] = storage[y * 904 + x * 3 + 2 - c];
    }
  }
  EXPECT_EQ(magickRead(path).rgb, expected.rgb);
  DecodedBmp decoded;
  ASSERT_EQ(decodeBmp(file.data(), file.size(), &decoded), BMP_OK);
  EXPECT_EQ(Bytes(decoded.rgb, decoded.rgb + expected.rgb.size()), expected.rgb);
  std::free(decoded.rgb);
}

TEST(BmpWriter, EmptyFramesAndFailures) {
  const std::string dir = scratchDir();
  const CaptureImage empty{nullptr, 0, 0, 0, 0};
  ASSERT_EQ(writeBmp((dir + "/empty.bmp").c_str(), empty), 0);
  EXPECT_EQ(readFile(dir + "/empty.bmp"), expectedFile(empty));

  Bytes storage;
  const CaptureImage image = makeFrame(8, 8, &storage);
  const std::string locked = dir + "/locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
  if (access(locked.c_str(), W_OK) != 0) {  // root may write anywhere
    EXPECT_EQ(writeBmp((locked + "/image1.bmp").c_str(), image), 1);
  }
  EXPECT_EQ(writeBmp((dir + "/no/such/folder.bmp").c_str(), image), 1);
  writeFile(dir + "/plain", {1});  // a file where a folder should be stops root too
  EXPECT_EQ(writeBmp((dir + "/plain/image1.bmp").c_str(), image), 1);

  // Unusable records write nothing.
  CaptureImage missing = image, narrow = image;
  missing.pixels = nullptr;
  narrow.stride = 20;
  EXPECT_EQ(writeBmp((dir + "/missing.bmp").c_str(), missing), 1);
  EXPECT_EQ(writeBmp((dir + "/narrow.bmp").c_str(), narrow), 1);
  EXPECT_FALSE(exists(dir + "/missing.bmp") || exists(dir + "/narrow.bmp"));

  // Saving again replaces the file.
  const std::string twice = dir + "/twice.bmp";
  ASSERT_EQ(writeBmp(twice.c_str(), image), 0);
  ASSERT_EQ(writeBmp(twice.c_str(), empty), 0);
  EXPECT_EQ(readFile(twice).size(), 54u);
}

TEST(BmpWriter, AWriteThatFailsPartWayLeavesNoFile) {
  const std::string path = scratchDir() + "/cut-short.bmp";
  // A file size limit makes the disk look full after 4096 bytes, in a child process only.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    Bytes storage;
    const int result = writeBmp(path.c_str(), makeFrame(312, 211, &storage));
    _exit(result == 1 && !exists(path) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "expected result 1 and no file";
}

}  // namespace
