#include "oculant/client.h"

#include <gtest/gtest.h>

#include "fake_bench.h"

namespace {

class ClientTest : public ::testing::Test {
 protected:
  PrivateRuntimeDir dir;
};

void expectFakeFrame(const oculant::Frame& frame, int role) {
  const FakeShape shape = fakeShape(role);
  EXPECT_EQ(frame.width, shape.width);
  EXPECT_EQ(frame.height, shape.height);
  EXPECT_EQ(frame.stride, fakeStride(shape.width));
  EXPECT_EQ(frame.pixels, fakePixels(role));
}

TEST_F(ClientTest, WithoutABenchEveryCallFailsWithAReason) {
  oculant::Client client;
  ASSERT_TRUE(client.ready()) << client.error();
  EXPECT_EQ(client.runtimeFolder(), dir.path());
  EXPECT_FALSE(client.benchRunning());
  oculant::Frame frame;
  EXPECT_FALSE(client.grab(oculant::Eye::LEFT, &frame));
  EXPECT_EQ(client.error(), "no left camera is running");
  EXPECT_FALSE(client.grab(oculant::Eye::RIGHT, &frame));
  EXPECT_EQ(client.error(), "no right camera is running");
  EXPECT_FALSE(client.sendHeading(10));
  EXPECT_FALSE(client.sendRigPosition(1, 2, true));
  EXPECT_FALSE(client.saveFrames());
  EXPECT_FALSE(client.quit());
  EXPECT_EQ(client.error(), "no bench is running");
}

TEST_F(ClientTest, GrabsEachCamerasFrameAgainAndAgain) {
  FakeBench bench;
  startFakeBench(&bench, false);
  oculant::Client client;
  EXPECT_TRUE(client.benchRunning());
  oculant::Frame left;
  oculant::Frame right;
  for (int round = 0; round < 50; ++round) {
    ASSERT_TRUE(client.grabPair(&left, &right)) << client.error();
    expectFakeFrame(left, 1);
    expectFakeFrame(right, 2);
  }
  // rgbAt counts rows from the top: row 0 is the last one sent.
  uint8_t rgb[3];
  ASSERT_TRUE(left.rgbAt(2, 0, rgb));
  const std::vector<uint8_t> sent = fakePixels(1);
  const uint8_t* bgr = &sent[4 * fakeStride(301) + 6];
  EXPECT_EQ(rgb[0], bgr[2]);
  EXPECT_EQ(rgb[2], bgr[0]);
  EXPECT_FALSE(left.rgbAt(301, 0, rgb));
  EXPECT_FALSE(left.rgbAt(0, 5, rgb));
  EXPECT_FALSE(left.rgbAt(-1, 0, rgb));
  EXPECT_FALSE(oculant::Frame().rgbAt(0, 0, rgb));
  EXPECT_TRUE(bench.reports().empty());
}

TEST_F(ClientTest, SteeringMessagesReachBothCamerasAndOptionallyTheScene) {
  FakeBench bench;
  startFakeBench(&bench, true);
  oculant::Client client;
  ASSERT_TRUE(client.sendHeading(90.5));
  ASSERT_TRUE(client.sendRigPosition(1.0, -2.0, true));
  ASSERT_TRUE(client.saveFrames());
  ASSERT_TRUE(client.quit(true));
  ASSERT_TRUE(client.quit());
  EXPECT_EQ(bench.reports(), kSteeringReports);
}

TEST_F(ClientTest, IncompleteOrInconsistentAnswersAreRefused) {
  for (FakeFault fault : {FakeFault::WRONG_STRIDE, FakeFault::SHORT_PIXELS, FakeFault::NO_PIXELS,
                          FakeFault::WRONG_ROLE}) {
    FakeBench bench;
    startFakeBench(&bench, false, fault);
    oculant::Client client;
    oculant::Frame frame;
    EXPECT_FALSE(client.grab(oculant::Eye::LEFT, &frame)) << static_cast<int>(fault);
    EXPECT_EQ(client.error(), "the left camera sent no complete frame");
  }
}

}  // namespace
