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
// Requesters that keep a request open and take each delivery, answering it just inside the
// camera's bound: valid, but as slow as the protocol allows.
constexpr int kSlowRequesters = 50;
constexpr double kSlowAnswerSeconds = 1.9;
// A handle no window has: replies to it find nobody.
constexpr uint32_t kNoWindow = 0x7FFFFC01u;

// A delivery the slow requesters took: answered once it has waited long enough.
struct SlowDelivery {
  int fd;
  double takenAt;
};

// Reads what has arrived of a delivery, so that the camera can write the rest.
void drain(int fd) {
  char bytes[65536];
  while (recv(fd, bytes, sizeof bytes, MSG_DONTWAIT) > 0) {
  }
}

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
  RawMailbox slowMailbox(folder, 1001);
  std::vector<int> idle(kIdleConnections, -1);
  std::vector<int> slowRequests(kSlowRequesters, -1);
  std::vector<SlowDelivery> slowDeliveries;
  std::deque<int> held;
  for (double nextRound = 0;;) {
    // The slow requesters: a new request once the last one is answered.
    for (int& fd : slowRequests) {
      if (fd >= 0 && closedByPeer(fd)) {
        close(fd);
        fd = -1;
      }
      if (fd < 0 && (fd = connectRaw(camera, 0)) >= 0) {
        sendMessage(fd, kFrameRequest, slowMailbox.handle());
      }
    }
    for (int fd; (fd = slowMailbox.accept(0)) >= 0;) slowDeliveries.push_back({fd, nowSeconds()});
    for (size_t i = 0; i < slowDeliveries.size();) {
      SlowDelivery& delivery = slowDeliveries[i];
      drain(delivery.fd);
      if (nowSeconds() - delivery.takenAt < kSlowAnswerSeconds) {
        ++i;
        continue;
      }
      send(delivery.fd, "\0\0\0\0\0\0\0\0", 8, MSG_NOSIGNAL | MSG_DONTWAIT);
      close(delivery.fd);
      slowDeliveries.erase(slowDeliveries.begin() + static_cast<long>(i));
    }
    if (nowSeconds() < nextRound) {
      usleep(5000);
      continue;
    }
    nextRound = nowSeconds() + 0.1;
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
    sendMessage(held.back(), kFrameRequest, kNoWindow);
    for (int fd; (fd = mailbox.accept(0)) >= 0;) held.push_back(fd);
    for (; held.size() > kMaxHeld; held.pop_front()) close(held.front());
  }
}

// A process stopped while it holds the runtime folder's lock, as one in a debugger would.
pid_t holdFolderLock(const std::string& folder) {
  const pid_t holder = fork();
  if (holder == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int fd = open((folder + "/transport.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && flock(fd, LOCK_EX) == 0) raise(SIGSTOP);
    _exit(0);
  }
  return holder;
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
  const pid_t lockHolder = holdFolderLock(folder);
  const pid_t peer = fork();
  if (peer == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    attack(folder, folder + "/class.oculant1");
  }
  usleep(500000);  // its idle connections and first requests are in place
  figures.attackedPerSecond = fetchRate(client, width, height, seconds, &figures.failedFetches);
  for (const pid_t pid : {peer, lockHolder}) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  // The figures after this one start from a camera that answers again.
  oculant::Frame frame;
  const double start = nowSeconds();
  while (!client.grab(oculant::Eye::LEFT, &frame) && nowSeconds() - start < 30) usleep(10000);
  return figures;
}
