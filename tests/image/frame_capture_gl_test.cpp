#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include "gl_test_window.h"
#include "image/frame_capture.h"
#include "magick.h"

namespace {

constexpr int kWidth = 301;  // 903 bytes of pixels in a 904-byte row
constexpr int kHeight = 40;

// A red left half and a teal right half over a blue strip along the bottom.
Rgb expectedAt(int x, int y) {
  if (y < 10) return {0, 0, 255};
  return x < 150 ? Rgb{255, 0, 0} : Rgb{10, 200, 30};
}

void fillRect(int x, int y, int w, int h, Rgb c) {
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, w, h);
  glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

TEST(FrameCapture, ReadsBottomUpBgrRowsWithZeroPaddingAndSavesThem) {
  GlTestWindow window{kWidth, kHeight};
  ASSERT_TRUE(window.ok()) << SDL_GetError();
  fillRect(0, 0, 150, kHeight, expectedAt(0, 20));
  fillRect(150, 0, kWidth - 150, kHeight, expectedAt(200, 20));
  fillRect(0, 0, kWidth, 10, expectedAt(0, 0));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);  // someone else's pack settings must not shear the rows

  CaptureImage image{};
  captureFrame(&image, kWidth, kHeight);
  ASSERT_NE(image.pixels, nullptr);
  ASSERT_EQ(image.stride, 904);
  Bytes expected, expectedRgb;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = expectedAt(x, y);
      expected.insert(expected.end(), {c[2], c[1], c[0]});
      expectedRgb.insert(expectedRgb.end(), c.begin(), c.end());
    }
    expected.push_back(0);
  }
  EXPECT_EQ(Bytes(image.pixels, image.pixels + expected.size()), expected);

  const std::string path = scratchDir() + "/image1.bmp";
  saveFrame(path.c_str(), kWidth, kHeight);
  EXPECT_EQ(magickRead(path).rgb, expectedRgb);
  freeCaptureImage(&image);
  EXPECT_EQ(image.pixels, nullptr);

  CaptureImage empty{};
  captureFrame(&empty, 0, 0);
  EXPECT_NE(empty.pixels, nullptr) << "a 0 x 0 frame is not a failure";
  freeCaptureImage(&empty);
  for (const auto& [w, h] : {std::pair<int, int>{-1, 5}, {kMaxCaptureSide + 1, 1}}) {
    CaptureImage refused{};
    captureFrame(&refused, w, h);
    EXPECT_EQ(refused.pixels, nullptr) << w << " x " << h;
  }
}

}  // namespace
