// A camera's memory under requests for large ground truth from requesters that never take their
// replies, measured in the real camera process: the replies under way stay within the camera's
// budget, and the memory they took goes back to the system once they are gone.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "raw_peer.h"
#include "real_bench.h"
#include "x_input.h"

namespace {

constexpr uint32_t kCapture = 3001;  // colour and depth: 29 MiB of replies at 2048 x 2048
constexpr int kRequests = 16;

// A "Vm...:" field of the process's status, in KiB; -1 when it cannot be read.
long statusKib(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

TEST(MemoryTest, LargeRepliesStayWithinBudgetAndTheirMemoryReturns) {
  BenchFolder bench;
  ASSERT_TRUE(bench.ok());
  std::ofstream(bench.path() + "/config.txt", std::ios::app)
      << "\nCAMERA_WIDTH=2048\nCAMERA_HEIGHT=2048\n";
  bench.launch();
  oculant::Client client;
  oculant::Frame frame;
  ASSERT_TRUE(waitUntil([&] { return client.grab(oculant::Eye::LEFT, &frame); })) << client.error();
  ASSERT_EQ(frame.width, 2048);
  const pid_t camera = pidOfWindow("oculant1");
  const long before = statusKib(camera, "VmRSS:");

  // The requests reach the camera all at once, each from a requester of its own.
  std::vector<std::unique_ptr<RawMailbox>> mailboxes;
  std::vector<int> requests;
  kill(camera, SIGSTOP);
  for (uint32_t n = 0; n < kRequests; ++n) {
    mailboxes.push_back(std::make_unique<RawMailbox>(bench.runtimeDir(), 1300 + n));
    requests.push_back(connectRaw(bench.runtimeDir() + "/class.oculant1"));
    EXPECT_TRUE(sendMessage(requests.back(), kCapture, mailboxes.back()->handle()));
  }
  kill(camera, SIGCONT);
  // Each is answered once its replies have been given up.
  for (int fd : requests) {
    int64_t result = -1;
    EXPECT_EQ(readUpTo(fd, &result, sizeof result, 60000), sizeof result);
    close(fd);
  }
  EXPECT_LT(statusKib(camera, "VmHWM:") - before, 280 * 1024) << "KiB at the peak";
  // The memory goes back once the last replies have been let go, right after their answers.
  const auto kept = [&] { return statusKib(camera, "VmRSS:") - before; };
  EXPECT_TRUE(waitUntil([&] { return kept() < 64 * 1024; }, {}, 10)) << kept() << " KiB kept";
}

}  // namespace
