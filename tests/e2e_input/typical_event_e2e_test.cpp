// The user's hand on the real bench, with real X input: the typical event (Shift held, the mouse
// 20 pixels to the left) gives both cameras the frames of heading 100, F2 makes both cameras
// write their files, and F1 shows and hides object 3 in the overview only.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_process.h"
#include "oculant/client.h"
#include "platform/transport.h"
#include "x_input.h"

namespace {

constexpr int kOverviewWidth = 800;
constexpr int kOverviewHeight = 600;
constexpr size_t kSavedFileSize = 54 + 960 * 240;

struct EyePair {
  oculant::Frame left;
  oculant::Frame right;
  bool operator==(const EyePair& other) const {
    return left.pixels == other.left.pixels && right.pixels == other.right.pixels;
  }
  bool bothDifferFrom(const EyePair& other) const {
    return left.pixels != other.left.pixels && right.pixels != other.right.pixels;
  }
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TypicalEventTest : public ::testing::Test {
 protected:
  // One bench for the whole group: the tests put the pose they start from themselves.
  static void SetUpTestSuite() {
    bench = new BenchProcess();
    display = XOpenDisplay(nullptr);
    client = new oculant::Client();
    EyePair frames;
    ready = display != nullptr && bench->start() && waitUntil([] {
              return transportFindClass("oculant1") && transportFindClass("oculant2");
            });
    // Answered frames mean the cameras run their loops, so their windows are shown: the
    // focus given to the scene window now stays there.
    ready = ready && client->grabPair(&frames.left, &frames.right);
    if (ready) bench->noteCameras();
    ready = ready && focusWindowOfClass("oculant");
  }
  static void TearDownTestSuite() {
    delete client;
    delete bench;
    if (display) XCloseDisplay(display);
  }

  static EyePair grabEyes() {
    EyePair frames;
    EXPECT_TRUE(client->grabPair(&frames.left, &frames.right)) << client->error();
    return frames;
  }

  // The overview as it stands on screen (the scene window sits at the top-left of the
  // screen), as 32-bit pixels.
  static std::vector<uint32_t> overviewPixels() {
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, kOverviewWidth,
                              kOverviewHeight, AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.reserve(kOverviewWidth * kOverviewHeight);
    for (int y = 0; y < kOverviewHeight; ++y) {
      for (int x = 0; x < kOverviewWidth; ++x) pixels.push_back(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return pixels;
  }

  static BenchProcess* bench;
  static Display* display;
  static oculant::Client* client;
  static bool ready;
};

BenchProcess* TypicalEventTest::bench = nullptr;
Display* TypicalEventTest::display = nullptr;
oculant::Client* TypicalEventTest::client = nullptr;
bool TypicalEventTest::ready = false;

TEST_F(TypicalEventTest, ShiftAndTwentyPixelsLeftGiveBothEyesTheFramesOfHeading100) {
  ASSERT_TRUE(ready);
  ASSERT_TRUE(client->sendHeading(90, true));  // the scene's own heading too
  const EyePair initial = grabEyes();
  // The frames the cameras show for heading 100, set directly.
  ASSERT_TRUE(client->sendHeading(100));
  const EyePair expected = grabEyes();
  ASSERT_TRUE(expected.bothDifferFrom(initial));
  ASSERT_TRUE(client->sendHeading(90));
  ASSERT_EQ(grabEyes(), initial);

  // Into the window without Shift (the position is only recorded), then Shift and one move
  // 20 pixels to the left.
  ASSERT_TRUE(xdotool({"mousemove", "400", "300", "keydown", "shift", "mousemove", "380", "300",
                       "keyup", "shift"}));
  EyePair turned;
  EXPECT_TRUE(waitUntil([&] {
    turned = grabEyes();
    return turned.bothDifferFrom(initial);
  }));
  EXPECT_TRUE(turned == expected) << "the eye views are not those of heading 100";
}

TEST_F(TypicalEventTest, F2WritesBothFilesWithTheFramesOnScreen) {
  ASSERT_TRUE(ready);
  const std::string files[2] = {bench->folder() + "/image1.bmp", bench->folder() + "/image2.bmp"};
  for (const std::string& file : files) unlink(file.c_str());
  ASSERT_TRUE(client->sendHeading(75));
  const EyePair onScreen = grabEyes();

  ASSERT_TRUE(xdotool({"key", "F2"}));
  EXPECT_TRUE(waitUntil([&] {
    return readFile(files[0]).size() == kSavedFileSize &&
           readFile(files[1]).size() == kSavedFileSize;
  }));
  const std::vector<uint8_t>* pixels[2] = {&onScreen.left.pixels, &onScreen.right.pixels};
  for (int eye = 0; eye < 2; ++eye) {
    const std::string saved = readFile(files[eye]);
    ASSERT_EQ(saved.size(), kSavedFileSize) << files[eye];
    EXPECT_EQ(
        saved.compare(54, std::string::npos, reinterpret_cast<const char*>(pixels[eye]->data()),
                      pixels[eye]->size()),
        0)
        << files[eye] << " does not hold the frame on screen";
  }
}

TEST_F(TypicalEventTest, F1ShowsAndHidesObject3InTheOverviewOnly) {
  ASSERT_TRUE(ready);
  const EyePair eyesBefore = grabEyes();
  const std::vector<uint32_t> hidden = overviewPixels();
  ASSERT_FALSE(hidden.empty());

  ASSERT_TRUE(xdotool({"key", "F1"}));
  std::vector<uint32_t> shown;
  EXPECT_TRUE(waitUntil([&] {
    shown = overviewPixels();
    return shown != hidden;
  })) << "F1 did not change the overview";
  EXPECT_TRUE(grabEyes() == eyesBefore) << "F1 changed an eye view";

  ASSERT_TRUE(xdotool({"key", "F1"}));
  EXPECT_TRUE(waitUntil([&] { return overviewPixels() == hidden; }))
      << "a second F1 did not hide object 3 again";
  EXPECT_TRUE(grabEyes() == eyesBefore) << "F1 changed an eye view";
}

}  // namespace
