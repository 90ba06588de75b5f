#include "oculant/client.h"

#include <gtest/gtest.h>

#include "fake_bench.h"

namespace {

TEST(Client, GrabsSteersAndNamesWhatIsMissing) {
  PrivateRuntimeDir dir;
  oculant::Client client;
  oculant::Frame left, right;
  EXPECT_FALSE(client.grab(oculant::Eye::RIGHT, &right));
  EXPECT_EQ(client.error(), "no right camera is running");
  EXPECT_FALSE(client.sendHeading(10));
  EXPECT_EQ(client.error(), "no camera is running");

  FakeBench bench(true);
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(client.grabPair(&left, &right)) << client.error();
    EXPECT_EQ(left.pixels, fakePixels(1));
    EXPECT_EQ(right.stride * 1000 + right.height, fakeStride(64) * 1000 + 3);
  }
  // rgbAt counts rows from the top: row 0 is the last one sent.
  uint8_t rgb[3];
  ASSERT_TRUE(left.rgbAt(2, 0, rgb));
  EXPECT_EQ(rgb[0], fakePixels(1)[4 * fakeStride(301) + 8]);
  EXPECT_FALSE(left.rgbAt(301, 0, rgb));
  EXPECT_FALSE(left.rgbAt(0, 5, rgb));

  ASSERT_TRUE(client.sendHeading(90.5));
  ASSERT_TRUE(client.sendRigPosition(1.0, -2.0, true));
  ASSERT_TRUE(client.saveFrames());
  ASSERT_TRUE(client.quit(true));
  ASSERT_TRUE(client.quit());
  EXPECT_EQ(bench.reports(), kSteeringReports);
}

TEST(Client, IncompleteOrInconsistentAnswersAreRefused) {
  PrivateRuntimeDir dir;
  for (FakeFault fault : {FakeFault::WRONG_STRIDE, FakeFault::SHORT_PIXELS, FakeFault::NO_PIXELS,
                          FakeFault::WRONG_ROLE}) {
    FakeBench bench(false, fault);
    oculant::Client client;
    oculant::Frame frame;
    EXPECT_FALSE(client.grab(oculant::Eye::LEFT, &frame)) << static_cast<int>(fault);
    EXPECT_EQ(client.error(), "the left camera sent no complete frame");
  }
}

}  // namespace
