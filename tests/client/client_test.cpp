#include "oculant/client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

#include "fake_bench.h"

namespace {

// Steering is the tool's test: the tool steers through a Client.
TEST(Client, GrabsAndNamesWhatIsMissing) {
  PrivateRuntimeDir dir;
  oculant::Client client;
  oculant::Frame left, right;
  EXPECT_FALSE(client.grab(oculant::Eye::RIGHT, &right));
  EXPECT_EQ(client.error(), "no right camera is running (looked in " + dir.path() + ")");
  EXPECT_FALSE(client.setHeading(10));
  EXPECT_EQ(client.error(), "no camera is running (looked in " + dir.path() + ")");
  EXPECT_EQ(client.failure(), oculant::Client::Failure::NOT_RUNNING);

  FakeBench bench(true);
  EXPECT_FALSE(client.setHeading(std::nan("")));
  EXPECT_EQ(client.error(), "the heading must be finite, not nan");
  EXPECT_FALSE(client.setPosition(1.0, -HUGE_VAL, true));
  EXPECT_EQ(client.error(), "the rig position must be finite, not -inf");
  oculant::Capture capture;
  const oculant::Pose nowhere = {0, std::nan(""), 90};
  EXPECT_FALSE(client.capture(oculant::Eye::LEFT, &capture, &nowhere));
  EXPECT_EQ(client.error(), "the pose must be finite, not nan");
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(client.grabPair(&left, &right)) << client.error();
    EXPECT_EQ(left.pixels, fakePixels(1));
    EXPECT_EQ(right.stride, fakeStride(64));
    EXPECT_EQ(right.height, 3);
  }
  // rgbAt counts rows from the top: row 0 is the last one sent.
  uint8_t rgb[3];
  ASSERT_TRUE(left.rgbAt(2, 0, rgb));
  EXPECT_EQ(rgb[0], fakePixels(1)[4 * fakeStride(301) + 8]);
  EXPECT_FALSE(left.rgbAt(301, 0, rgb));
  EXPECT_FALSE(left.rgbAt(0, 5, rgb));
  EXPECT_EQ(bench.reports(), std::vector<std::string>{}) << "NaN or infinity reached a window";
}

// Two Clients of one program, each on a thread of its own, fetch at the same time: every frame
// is the one its camera drew, whichever of them the replies arrive for first.
TEST(Client, ClientsOnTwoThreadsFetchTheirOwnFrames) {
  PrivateRuntimeDir dir;
  FakeBench bench(false);
  oculant::Client clients[2];
  int complete[2] = {0, 0};
  int wrong[2] = {0, 0};
  std::string errors[2];
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  auto fetch = [&](int side) {
    const oculant::Eye eye = side == 0 ? oculant::Eye::LEFT : oculant::Eye::RIGHT;
    const std::vector<uint8_t> expected = fakePixels(side + 1);
    oculant::Frame frame;
    while (std::chrono::steady_clock::now() < until && errors[side].empty()) {
      if (!clients[side].grab(eye, &frame)) {
        errors[side] = clients[side].error();
      } else if (frame.width == fakeShape(side + 1).width && frame.pixels == expected) {
        ++complete[side];
      } else {
        ++wrong[side];
      }
    }
  };
  std::thread left(fetch, 0), right(fetch, 1);
  left.join();
  right.join();
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(errors[side], "") << side;
    EXPECT_EQ(wrong[side], 0) << side;
    EXPECT_GT(complete[side], 0) << side;
  }
}

// A frame comes whole, consistent and from the camera asked, or not at all.
TEST(Client, IncompleteInconsistentOrForgedAnswersAreRefused) {
  PrivateRuntimeDir dir;
  const std::string incomplete = "the left camera sent no complete frame";
  const struct {
    FakeFault fault;
    std::string error;  // "" for the camera's own frame
  } cases[] = {
      {FakeFault::WRONG_STRIDE, incomplete},
      {FakeFault::SHORT_PIXELS, incomplete},
      {FakeFault::NO_PIXELS, incomplete},
      {FakeFault::WRONG_ROLE, incomplete},
      {FakeFault::FORGER, ""},  // pixels from another process are not taken
      {FakeFault::DIES, "the left camera ended before it answered"},
  };
  for (const auto& c : cases) {
    FakeBench bench(false, c.fault);
    oculant::Client client;
    oculant::Frame frame;
    EXPECT_EQ(client.grab(oculant::Eye::LEFT, &frame), c.error.empty()) << int(c.fault);
    EXPECT_EQ(client.error(), c.error) << int(c.fault);
    if (c.error.empty()) {
      EXPECT_EQ(frame.pixels, fakePixels(1)) << int(c.fault);
    }
  }
}

// A bench that runs but does not answer (stopped, its queue full) costs a call no more than
// its time-out, and is told apart from one that is not there.
TEST(Client, AStoppedBenchFailsWithinTheTimeoutAndServesAgainOnceContinued) {
  PrivateRuntimeDir dir;
  FakeBench bench(true);
  kill(bench.pid, SIGSTOP);
  std::vector<int> queued;
  for (int fd = 0; queued.size() < 1000 && fd >= 0;)
    if ((fd = connectRaw(dir.path() + "/class.oculant1", 0)) >= 0) queued.push_back(fd);
  oculant::Client client;
  client.setTimeout(0.5);
  oculant::Frame frame;
  const time_t start = time(nullptr);
  EXPECT_FALSE(client.grab(oculant::Eye::LEFT, &frame));
  EXPECT_EQ(client.failure(), oculant::Client::Failure::NOT_ANSWERING);
  EXPECT_EQ(client.error(),
            "the left camera is running but did not answer within 0.5 s (stopped or busy)");
  EXPECT_FALSE(client.saveFrames());
  EXPECT_EQ(client.failure(), oculant::Client::Failure::NOT_ANSWERING);
  EXPECT_LE(time(nullptr) - start, 5);
  for (int fd : queued) close(fd);
  kill(bench.pid, SIGCONT);
  client.setTimeout(10);
  EXPECT_TRUE(client.grab(oculant::Eye::LEFT, &frame)) << client.error();
}

}  // namespace
