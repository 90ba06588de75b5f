#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_test_window.h"
#include "image/frame_capture.h"
#include "magick.h"

namespace {

constexpr int kWidth = 301;  // 903 bytes of pixels in a 904-byte row
constexpr int kHeight = 40;

struct Colour {
  uint8_t r, g, b;
};

void fillRect(int x, int y, int w, int h, Colour c) {
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, w, h);
  glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

// The picture every test reads: a red left half, a green-blue right half, a blue strip along
// the bottom, and a yellow quad drawn with pixel-exact edges.
const Colour kRed{255, 0, 0}, kTeal{10, 200, 30}, kBlue{0, 0, 255}, kYellow{250, 240, 5};

Colour expectedAt(int x, int y) {
  if (x >= 50 && x < 100 && y >= 20 && y < 30) return kYellow;
  if (y < 10) return kBlue;
  return x < 150 ? kRed : kTeal;
}

void drawPicture() {
  glViewport(0, 0, kWidth, kHeight);
  fillRect(0, 0, 150, kHeight, kRed);
  fillRect(150, 0, kWidth - 150, kHeight, kTeal);
  fillRect(0, 0, kWidth, 10, kBlue);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, 0, kHeight, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glColor3ub(kYellow.r, kYellow.g, kYellow.b);
  glBegin(GL_QUADS);
  glVertex2f(50, 20);
  glVertex2f(100, 20);
  glVertex2f(100, 30);
  glVertex2f(50, 30);
  glEnd();
}

// The picture as tight RGB rows, bottom row first.
RgbImage expectedPicture() {
  RgbImage image{kWidth, kHeight, {}};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Colour c = expectedAt(x, y);
      image.rgb.insert(image.rgb.end(), {c.r, c.g, c.b});
    }
  }
  return image;
}

class FrameCapture : public ::testing::Test {
 protected:
  GlTestWindow window{kWidth, kHeight};
  void SetUp() override {
    ASSERT_TRUE(window.ok()) << SDL_GetError();
    drawPicture();
    // Someone else's pack settings must not shear the rows.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
  }
};

TEST_F(FrameCapture, ReadsBottomUpBgrRowsWithZeroPaddingAndSavesThem) {
  CaptureImage image{nullptr, -1, -1, -1, 0xC0FFEEu};
  captureFrame(&image, kWidth, kHeight);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ(image.width, kWidth);
  EXPECT_EQ(image.height, kHeight);
  EXPECT_EQ(image.stride, 904);
  EXPECT_EQ(image.reserved, 0xC0FFEEu);
  RgbImage captured{kWidth, kHeight, {}};
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = image.pixels + y * image.stride;
    for (int x = 0; x < kWidth; ++x)
      captured.rgb.insert(captured.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    EXPECT_EQ(row[903], 0) << "padding of row " << y;
  }
  EXPECT_EQ(captured.rgb, expectedPicture().rgb);

  const std::string path = scratchDir() + "/image1.bmp";
  saveFrame(path.c_str(), kWidth, kHeight);
  const Bytes file = readFile(path);
  ASSERT_EQ(file.size(), 54u + 904 * kHeight);
  EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), image.pixels));
  EXPECT_EQ(magickRead(path).rgb, expectedPicture().rgb);
  freeCaptureImage(&image);
  EXPECT_EQ(image.pixels, nullptr);

  // Saving again replaces the file; an unwritable place leaves nothing.
  saveFrame(path.c_str(), 4, 4);
  EXPECT_EQ(readFile(path).size(), 54u + 12 * 4);
  const std::string nowhere = scratchDir() + "/no/such/image2.bmp";
  saveFrame(nowhere.c_str(), 4, 4);
  EXPECT_TRUE(readFile(nowhere).empty());
}

TEST_F(FrameCapture, SmallEmptyAndImpossibleSizes) {
  CaptureImage corner{};
  captureFrame(&corner, 2, 3);  // 6 bytes of pixels in 8-byte rows
  ASSERT_NE(corner.pixels, nullptr);
  EXPECT_EQ(corner.stride, 8);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(Bytes(corner.pixels + y * 8, corner.pixels + y * 8 + 8),
              (Bytes{kBlue.b, kBlue.g, kBlue.r, kBlue.b, kBlue.g, kBlue.r, 0, 0}));
  }
  freeCaptureImage(&corner);

  CaptureImage empty{};
  captureFrame(&empty, 0, 0);
  EXPECT_NE(empty.pixels, nullptr) << "a 0 x 0 frame is not a failure";
  EXPECT_EQ(empty.stride, 0);
  freeCaptureImage(&empty);

  for (const auto& [w, h] : {std::pair<int, int>{-1, 5}, {5, -1}, {kMaxCaptureSide + 1, 1}}) {
    CaptureImage refused{};
    captureFrame(&refused, w, h);
    EXPECT_EQ(refused.pixels, nullptr) << w << " x " << h;
  }
}

}  // namespace
