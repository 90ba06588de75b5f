#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "gl_test_window.h"
#include "image/frame_capture.h"

namespace {

// A red left half and a teal right half over a blue strip along the bottom.
Rgb colourAt(int x, int y) {
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

TEST(FrameCapture, ReadsBottomUpBgrRowsWithZeroPadding) {
  const int width = 301, height = 40;  // 903 bytes of pixels in a 904-byte row
  GlTestWindow window{width, height};
  ASSERT_TRUE(window.ok()) << SDL_GetError();
  fillRect(0, 0, 150, height, colourAt(0, 20));
  fillRect(150, 0, width - 150, height, colourAt(200, 20));
  fillRect(0, 0, width, 10, colourAt(0, 0));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);  // someone else's pack settings must not shear the rows
  CaptureImage image{};
  captureFrame(&image, width, height);
  ASSERT_NE(image.pixels, nullptr);
  ASSERT_EQ(image.stride, 904);
  Bytes expected;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colourAt(x, y);
      expected.insert(expected.end(), {c[2], c[1], c[0]});
    }
    expected.push_back(0);
  }
  EXPECT_EQ(Bytes(image.pixels, image.pixels + expected.size()), expected);
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
