#include "attack_figures.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "bench_clock.h"
#include "oculant/client.h"
#include "raw_peer.h"

namespace {

constexpr uint32_t kFrameRequest = 2001;
constexpr int kIdleConnections = 100;
// Connections the peer leaves hanging at once (requests and the camera's deliveries); older
// ones are let go, so the peer never runs out of descriptors.
constexpr size_t kMaxHeld = 200;

// True when the other end has closed the connection.
bool closedByPeer(int fd) {
  pollfd p = {fd, POLLIN | POLLRDHUP, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// A process of the peer's that takes every lock file of the folder it can get and stops while it
// holds them, as one stopped in a debugger; it dies with the peer.
void holdLocksStopped(const std::string& folder) {
  if (fork() != 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (const char* name : {"/transport.lock", "/role.lock"}) {
    const int fd = open((folder + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
  }
  raise(SIGSTOP);
  _exit(0);
}

// The hostile peer's life, until it is killed.
[[noreturn]] void attack(const std::string& folder, const std::string& camera) {
  holdLocksStopped(folder);
  RawMailbox mailbox(folder, 1000);
  std::vector<int> idle(kIdleConnections, -1);
  std::deque<int> held;
  for (;;) {
    // Idle connections the camera has dropped are opened again.
    for (int& fd : idle) {
      if (fd >= 0 && closedByPeer(fd)) {
        close(fd);
        fd = -1;
      }
      if (fd < 0) fd = connectRaw(camera, 0);
    }
    held.push_back(connectRaw(camera, 0));
    sendMessage(held.back(), kFrameRequest, mailbox.handle());
    // A request whose replies go to a window that does not exist.
    held.push_back(connectRaw(camera, 0));
    sendMessage(held.back(), kFrameRequest, 1);
    for (int fd; (fd = mailbox.accept(0)) >= 0;) held.push_back(fd);
    for (; held.size() > kMaxHeld; held.pop_front()) close(held.front());
    usleep(100000);
  }
}

// Whole frames per second from the left camera over about `seconds`; a failed fetch is
// counted and does not end the measurement.
double fetchRate(oculant::Client& client, int width, int height, double seconds, long* failed) {
  oculant::Frame frame;
  long fetched = 0;
  const double start = nowSeconds();
  while (nowSeconds() - start < seconds) {
    if (client.grab(oculant::Eye::LEFT, &frame) && frame.width == width && frame.height == height) {
      ++fetched;
    } else {
      ++*failed;
    }
  }
  return fetched / (nowSeconds() - start);
}

}  // namespace

AttackFigures measureFetchUnderAttack(int width, int height, double seconds) {
  AttackFigures figures = {};
  oculant::Client client;
  long quietFailures = 0;
  figures.quietPerSecond = fetchRate(client, width, height, seconds, &quietFailures);
  const std::string folder = client.runtimeFolder();
  const pid_t peer = fork();
  if (peer == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    attack(folder, folder + "/class.oculant1");
  }
  usleep(500000);  // its idle connections and first requests are in place
  figures.attackedPerSecond = fetchRate(client, width, height, seconds, &figures.failedFetches);
  kill(peer, SIGKILL);
  waitpid(peer, nullptr, 0);
  // The figures after this one start from a camera that answers again.
  oculant::Frame frame;
  const double start = nowSeconds();
  while (!client.grab(oculant::Eye::LEFT, &frame) && nowSeconds() - start < 30) usleep(10000);
  return figures;
}
