// The user's hand on the real bench, with real X input: the typical event (Shift held, the mouse
// 20 pixels to the left) gives both cameras the frames of heading 100.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_process.h"
#include "oculant/client.h"
#include "platform/posix/transport.h"
#include "x_input.h"

namespace {

TEST(TypicalEvent, ShiftAndTwentyPixelsLeftGiveTheFramesOfHeading100) {
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
  ASSERT_TRUE(expected.first != initial.first);
  ASSERT_TRUE(expected.second != initial.second);
  ASSERT_TRUE(client.sendHeading(90));

  // Into the window without Shift (the position is only recorded), then Shift and one move.
  ASSERT_TRUE(xdotool({"mousemove", "400", "300", "keydown", "shift", "mousemove", "380", "300",
                       "keyup", "shift"}));
  std::pair<std::vector<uint8_t>, std::vector<uint8_t>> turned;
  EXPECT_TRUE(waitUntil([&] {
    turned = eyes();
    return turned.first != initial.first && turned.second != initial.second;
  }));
  EXPECT_TRUE(turned.first == expected.first) << "the left view is not that of heading 100";
  EXPECT_TRUE(turned.second == expected.second) << "the right view is not that of heading 100";
}

}  // namespace
