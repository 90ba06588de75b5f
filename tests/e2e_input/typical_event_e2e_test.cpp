// The user's hand on the real bench, with real X input: the typical event (Shift held, the mouse
// 20 pixels to the left) gives both cameras the frames of heading 100, and F2 makes both cameras
// write the frames on screen to their files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "bench_process.h"
#include "oculant/client.h"
#include "platform/transport.h"
#include "x_input.h"

namespace {

using Pixels = std::vector<uint8_t>;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TypicalEvent, ShiftAndTwentyPixelsLeftGiveTheFramesOfHeading100AndF2SavesThem) {
  BenchProcess bench;
  oculant::Client client;
  ASSERT_TRUE(bench.start());
  ASSERT_TRUE(
      waitUntil([] { return transportFindClass("oculant1") && transportFindClass("oculant2"); }));
  oculant::Frame left, right;
  // Answered frames mean the cameras run their loops and their windows are shown: the focus
  // given to the scene window now stays there.
  ASSERT_TRUE(client.grabPair(&left, &right)) << client.error();
  ASSERT_TRUE(focusWindowOfClass("oculant"));
  auto eyes = [&] {
    EXPECT_TRUE(client.grabPair(&left, &right)) << client.error();
    return std::make_pair(left.pixels, right.pixels);
  };

  ASSERT_TRUE(client.sendHeading(90, true));  // the scene's own heading too
  const auto initial = eyes();
  ASSERT_TRUE(client.sendHeading(100));
  const auto expected = eyes();
  ASSERT_TRUE(expected.first != initial.first && expected.second != initial.second);
  ASSERT_TRUE(client.sendHeading(90));
  ASSERT_EQ(eyes(), initial);

  // Into the window without Shift (the position is only recorded), then Shift and one move.
  ASSERT_TRUE(xdotool({"mousemove", "400", "300", "keydown", "shift", "mousemove", "380", "300",
                       "keyup", "shift"}));
  std::pair<Pixels, Pixels> turned;
  EXPECT_TRUE(waitUntil([&] {
    turned = eyes();
    return turned.first != initial.first && turned.second != initial.second;
  }));
  EXPECT_TRUE(turned == expected) << "the eye views are not those of heading 100";

  const std::string files[2] = {bench.folder() + "/image1.bmp", bench.folder() + "/image2.bmp"};
  ASSERT_TRUE(xdotool({"key", "F2"}));
  const size_t size = 54 + 960 * 240;
  EXPECT_TRUE(waitUntil(
      [&] { return readFile(files[0]).size() == size && readFile(files[1]).size() == size; }));
  EXPECT_EQ(readFile(files[0]).substr(54), std::string(turned.first.begin(), turned.first.end()));
  EXPECT_EQ(readFile(files[1]).substr(54), std::string(turned.second.begin(), turned.second.end()));
}

}  // namespace
