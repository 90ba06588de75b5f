// The real bench against hostile peers: a client that reads a large frame slowly while another
// turns the rig, mailboxes that never answer, connections that trickle or say nothing, a camera
// that is stopped. The peers are raw sockets (raw_peer.h); the healthy client is the library's.
// Every peer must be served in time, every frame whole, and no message applied after its
// sender gave it up.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "oculant/client.h"
#include "raw_peer.h"
#include "real_bench.h"
#include "test_bench.h"
#include "x_input.h"

namespace {

constexpr uint32_t kFrameRequest = 2001;
constexpr uint32_t kHeading = 1002;
// "A couple of seconds": the bench answers in milliseconds, the faults cost 10 s and more.
constexpr double kPromptSeconds = 3;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Calls done until it holds, at most for the given time.
template <typename Done>
bool within(double seconds, Done done) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (secondsSince(start) > seconds) return false;
    usleep(20000);
  }
  return true;
}

// Runs call, whose result goes to *ok when given; returns the seconds it took.
template <typename Call>
double secondsTaken(Call call, bool* ok = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const bool result = call();
  if (ok) *ok = result;
  return secondsSince(start);
}

oculant::Pose poseOf(oculant::Client& client, oculant::Eye eye) {
  oculant::CameraModel camera;
  if (!client.describe(eye, &camera)) camera.pose.heading = -1;
  return camera.pose;
}

bool samePose(const oculant::Pose& a, const oculant::Pose& b) {
  return a.x == b.x && a.y == b.y && a.heading == b.heading;
}

// Idle connections: opened, never written to.
std::vector<int> openIdle(const std::string& path, int count) {
  std::vector<int> fds;
  for (int i = 0; i < count; ++i) fds.push_back(connectRaw(path));
  return fds;
}

void closeAll(const std::vector<int>& fds) {
  for (int fd : fds) close(fd);
}

// Connections that each send one byte of a message every 150 ms and never finish it (its
// payload is far longer than they will ever send). One the window drops is opened again.
class Trickle {
 public:
  Trickle(const std::string& path, int count) : path_(path), fds_(count, -1), sent_(count, 0) {
    thread_ = std::thread([this] { run(); });
  }
  ~Trickle() {
    stop_ = true;
    thread_.join();
    closeAll(fds_);
  }
  int rounds() const { return rounds_; }

 private:
  void run() {
    unsigned char envelope[16];
    writeEnvelope(envelope, 9999, 0, 100000);
    while (!stop_) {
      for (size_t i = 0; i < fds_.size(); ++i) {
        if (fds_[i] < 0) {
          fds_[i] = connectRaw(path_, 0);
          sent_[i] = 0;
        }
        const unsigned char byte = sent_[i] < 16 ? envelope[sent_[i]] : 0;
        if (fds_[i] >= 0 && send(fds_[i], &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) {
          ++sent_[i];
        } else if (fds_[i] >= 0) {
          close(fds_[i]);
          fds_[i] = -1;
        }
      }
      ++rounds_;
      usleep(150000);
    }
  }

  std::string path_;
  std::vector<int> fds_;
  std::vector<size_t> sent_;
  std::atomic<bool> stop_{false};
  std::atomic<int> rounds_{0};
  std::thread thread_;
};

// A client whose mailbox takes the camera's connections and never answers them, sending a frame
// request every 100 ms: each arrives while the camera is stuck delivering an earlier one.
class StalledRequester {
 public:
  StalledRequester(const std::string& folder, const std::string& camera) : mailbox_(folder, 1002) {
    thread_ = std::thread([this, camera] {
      for (int level = 0; level < 40 && !stop_; ++level) {
        held_.push_back(connectRaw(camera));
        sendMessage(held_.back(), kFrameRequest, mailbox_.handle());
        held_.push_back(mailbox_.accept(100));
        usleep(100000);
      }
    });
  }
  ~StalledRequester() {
    stop_ = true;
    thread_.join();
    closeAll(held_);
  }

 private:
  RawMailbox mailbox_;
  std::vector<int> held_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class AttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adoptOrphans();
    const std::string folder = runtime_.path() + "/bench";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_TRUE(copyDemoScene(folder));
    scene_ = launchBench(folder);
    for (const char* name : {"oculant", "oculant1", "oculant2"}) {
      ASSERT_TRUE(within(20, [&] { return pidOf(name) > 0; })) << name;
    }
    oculant::Frame left, right;
    ASSERT_TRUE(within(20, [&] { return client_.grabPair(&left, &right); })) << client_.error();
  }
  void TearDown() override {
    for (const char* name : {"oculant", "oculant1", "oculant2"}) {
      const pid_t pid = pidOf(name);
      if (pid > 0) {
        kill(pid, SIGCONT);
        kill(pid, SIGKILL);
      }
    }
    kill(scene_, SIGKILL);
    while (waitpid(-1, nullptr, WNOHANG) > 0 || errno == EINTR) {
    }
  }

  std::string classPath(const char* name) const { return runtime_.path() + "/class." + name; }
  // The process behind a class link "window.<(pid << 10) | n>"; 0 when there is none.
  pid_t pidOf(const char* name) const {
    char target[64] = {};
    if (readlink(classPath(name).c_str(), target, sizeof target - 1) <= 7) return 0;
    return static_cast<pid_t>(std::strtoul(target + 7, nullptr, 10) >> 10);
  }

  PrivateRuntimeDir runtime_;
  pid_t scene_ = -1;
  oculant::Client client_;
};

TEST_F(AttackTest, AFrameStaysWholeWhileTheCameraServesATurnAndAnotherGrabMidSend) {
  // The frame must outgrow the largest send buffer the camera can get (twice wmem_max) by
  // more than this client reads before it pauses, so that the rest waits in the camera.
  long wmemMax = 212992;
  if (FILE* file = fopen("/proc/sys/net/core/wmem_max", "r")) {
    if (fscanf(file, "%ld", &wmemMax) != 1) wmemMax = 212992;
    fclose(file);
  }
  const size_t firstPart = 1 << 20;
  const int width = 1000, stride = 3000;
  const int height = std::max(800, static_cast<int>((2 * wmemMax + 3 * firstPart) / stride));
  ASSERT_TRUE(xdotool({"search", "--sync", "--name", "^Camera 1 Left$", "windowsize", "%@",
                       std::to_string(width), std::to_string(height)}));
  oculant::Frame before;
  ASSERT_TRUE(within(
      20, [&] { return client_.grab(oculant::Eye::LEFT, &before) && before.height == height; }));

  // The slow reader: the header, then the first MiB of the pixels.
  RawMailbox mailbox(runtime_.path(), 1001);
  const int request = connectRaw(classPath("oculant1"));
  ASSERT_TRUE(sendMessage(request, kFrameRequest, mailbox.handle()));
  const int headerFd = mailbox.accept();
  unsigned char header[36], envelope[16], reply[8] = {};
  ASSERT_EQ(readUpTo(headerFd, header, sizeof header), sizeof header);
  send(headerFd, reply, sizeof reply, MSG_NOSIGNAL);
  const int pixelsFd = mailbox.accept();
  ASSERT_EQ(readUpTo(pixelsFd, envelope, sizeof envelope), sizeof envelope);
  std::vector<uint8_t> pixels(readLe32(envelope + 12));
  ASSERT_EQ(readUpTo(pixelsFd, pixels.data(), firstPart), firstPart);

  // Meanwhile another client turns the rig and fetches the frame of the new pose.
  const pid_t other = fork();
  if (other == 0) {
    oculant::Client client;
    oculant::Frame turned;
    _exit(client.sendHeading(45) && client.grab(oculant::Eye::LEFT, &turned) &&
                  turned.pixels != before.pixels
              ? 0
              : 1);
  }
  int status = -1;
  const bool otherDone = within(2, [&] { return waitpid(other, &status, WNOHANG) == other; });

  const size_t received =
      firstPart + readUpTo(pixelsFd, pixels.data() + firstPart, pixels.size() - firstPart);
  send(pixelsFd, reply, sizeof reply, MSG_NOSIGNAL);
  EXPECT_EQ(received, pixels.size());
  EXPECT_TRUE(pixels == before.pixels) << "the frame is not the one of the pose it was asked at";
  EXPECT_EQ(readUpTo(request, reply, sizeof reply), sizeof reply);
  EXPECT_EQ(otherDone ? WEXITSTATUS(status) : waitExit(other), 0) << "the other client's turn";
  for (int fd : {request, headerFd, pixelsFd}) close(fd);
}

TEST_F(AttackTest, AMailboxThatNeverAnswersNestedRequestsHoldsUpNobody) {
  oculant::Frame first, frame;
  ASSERT_TRUE(client_.grab(oculant::Eye::LEFT, &first));
  StalledRequester stalled(runtime_.path(), classPath("oculant1"));
  // Grabs back to back: the stalled requests keep arriving in the middle of them.
  double longest = 0;
  int failed = 0;
  for (const auto start = std::chrono::steady_clock::now(); secondsSince(start) < 3;) {
    bool grabbed = false;
    longest = std::max(
        longest, secondsTaken([&] { return client_.grab(oculant::Eye::LEFT, &frame); }, &grabbed));
    failed += !grabbed;
  }
  EXPECT_LT(longest, kPromptSeconds);
  EXPECT_EQ(failed, 0) << client_.error();
  ASSERT_TRUE(client_.sendHeading(45));
  ASSERT_TRUE(client_.grab(oculant::Eye::LEFT, &frame));
  EXPECT_TRUE(frame.pixels != first.pixels) << "the camera did not draw the new heading";
}

TEST_F(AttackTest, ConnectionsThatTrickleNeverFinishingHoldUpNobody) {
  Trickle trickle(classPath("oculant1"), 120);
  ASSERT_TRUE(within(10, [&] { return trickle.rounds() >= 5; }));
  oculant::Frame frame;
  bool grabbed = false;
  const double grabSeconds =
      secondsTaken([&] { return client_.grab(oculant::Eye::LEFT, &frame); }, &grabbed);
  EXPECT_TRUE(grabbed) << client_.error();
  EXPECT_LT(grabSeconds, kPromptSeconds);
}

TEST_F(AttackTest, AFloodOfIdleConnectionsHoldsUpNobody) {
  // The heading goes to both cameras, then to the scene, the only window flooded so far.
  const std::vector<int> atScene = openIdle(classPath("oculant"), 130);
  const double sceneSeconds = secondsTaken([&] { return client_.sendHeading(90, true); });
  EXPECT_LT(sceneSeconds, kPromptSeconds);
  closeAll(atScene);
  const std::vector<int> atCamera = openIdle(classPath("oculant1"), 130);
  oculant::Frame frame;
  bool grabbed = false;
  const double cameraSeconds =
      secondsTaken([&] { return client_.grab(oculant::Eye::LEFT, &frame); }, &grabbed);
  EXPECT_TRUE(grabbed) << client_.error();
  EXPECT_LT(cameraSeconds, kPromptSeconds);
  closeAll(atCamera);
}

TEST_F(AttackTest, AStoppedCameraHoldsUpNoTurnAndTakesThePoseWhenItAnswersAgain) {
  const pid_t left = pidOf("oculant1");
  ASSERT_TRUE(focusWindowOfClass("oculant"));
  kill(left, SIGSTOP);
  // Into the window without Shift, then six moves of 10 pixels to the left: 5 degrees each.
  std::vector<std::string> moves = {"mousemove", "410", "300",     "mousemove",
                                    "400",       "300", "keydown", "shift"};
  for (int x = 390; x >= 340; x -= 10)
    moves.insert(moves.end(), {"mousemove", std::to_string(x), "300"});
  moves.insert(moves.end(), {"keyup", "shift"});
  ASSERT_TRUE(xdotool(moves));
  EXPECT_TRUE(within(5, [&] { return poseOf(client_, oculant::Eye::RIGHT).heading == 120; }))
      << "the right camera's heading is " << poseOf(client_, oculant::Eye::RIGHT).heading;
  kill(left, SIGCONT);
  EXPECT_TRUE(within(5,
                     [&] {
                       return samePose(poseOf(client_, oculant::Eye::LEFT),
                                       poseOf(client_, oculant::Eye::RIGHT));
                     }))
      << "the left camera's heading is " << poseOf(client_, oculant::Eye::LEFT).heading;
}

TEST_F(AttackTest, AMessageWhoseSenderGaveUpIsNotAppliedLate) {
  const double before = poseOf(client_, oculant::Eye::LEFT).heading;
  const pid_t left = pidOf("oculant1");
  kill(left, SIGSTOP);
  const int fd = connectRaw(classPath("oculant1"));
  const double heading = 45;
  ASSERT_TRUE(sendMessage(fd, kHeading, 0, &heading, sizeof heading));
  unsigned char reply[8];
  EXPECT_EQ(readUpTo(fd, reply, sizeof reply, 300), 0u);
  close(fd);
  kill(left, SIGCONT);
  EXPECT_EQ(poseOf(client_, oculant::Eye::LEFT).heading, before);
}

}  // namespace
