// The user's hand on the real bench, with real X input: the typical event (Shift held, the mouse
// 20 pixels to the left) gives both cameras the frames of heading 100, and F2 makes both cameras
// write the frames on screen to their files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "bench_process.h"
#include "magick.h"
#include "oculant/client.h"
#include "platform/posix/transport.h"
#include "x_input.h"

namespace {

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

  // Into the window without Shift (the position is only recorded), then Shift and one move.
  ASSERT_TRUE(xdotool({"mousemove", "400", "300", "keydown", "shift", "mousemove", "380", "300",
                       "keyup", "shift"}));
  std::pair<Bytes, Bytes> turned;
  EXPECT_TRUE(waitUntil([&] {
    turned = eyes();
    return turned.first != initial.first && turned.second != initial.second;
  }));
  EXPECT_TRUE(turned == expected) << "the eye views are not those of heading 100";

  // F2: both files hold the frames on screen (after the 54-byte headers).
  ASSERT_TRUE(xdotool({"key", "F2"}));
  Bytes saved[2];
  EXPECT_TRUE(waitUntil([&] {
    saved[0] = readFile(bench.folder() + "/image1.bmp");
    saved[1] = readFile(bench.folder() + "/image2.bmp");
    return saved[0].size() == 54 + turned.first.size() && saved[1].size() == saved[0].size();
  }));
  EXPECT_EQ(Bytes(saved[0].begin() + 54, saved[0].end()), turned.first);
  EXPECT_EQ(Bytes(saved[1].begin() + 54, saved[1].end()), turned.second);
}

}  // namespace
