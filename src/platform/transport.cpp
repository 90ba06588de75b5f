// Every window listens on "window.<handle>" in the runtime folder; its class name is a symbolic
// link "class.<name>" to that socket, so claiming a class is one atomic symlink() and a client
// reaches a class with a single connect. A lock file serialises claims and stale-file removal.
#include "platform/transport.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime_dir.h"

namespace {

// A whole message must arrive within this time even when it trickles in byte by byte.
constexpr int kReceiveLimitMs = 2000;
// A flood of connections must not keep one pass of the window's loop busy for ever.
constexpr int kMaxServedPerPass = 64;
// Messages above this size get a send buffer of their own size, up to the second limit.
constexpr size_t kLargeMessageBytes = 64u << 10;
constexpr size_t kMaxSendBuffer = 16u << 20;
// Receive buffers bigger than this are given back after use rather than kept.
constexpr size_t kKeptBufferBytes = 16u << 20;

struct Listener {
  HWND window;
  int fd;
  std::string className;
};

struct Buffer {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
};

struct State {
  std::vector<Listener> listeners;
  std::vector<HWND> allocated;  // handles handed out and not yet closed
  uint32_t nextCounter = 1;
  int epollFd = -1;
  std::string dirOwn;  // the environment that dir was resolved from
  std::string dirXdg;
  std::string dir;
  int lockFd = -1;
  // One receive buffer per nesting level: a handler that sends may serve further messages
  // while its own payload must stay valid.
  std::vector<Buffer> buffers;
  size_t depth = 0;
  bool forked = false;  // set in a forked child until its first use of the transport
};

State* theState = nullptr;

// Runs in a forked child, where only async-signal-safe calls are sure to work: the parent's
// descriptors are closed now, the bookkeeping is dropped at the child's next use.
void forgetAfterFork() {
  State& s = *theState;
  for (const Listener& listener : s.listeners) close(listener.fd);
  if (s.epollFd >= 0) close(s.epollFd);
  if (s.lockFd >= 0) close(s.lockFd);
  s.epollFd = -1;
  s.lockFd = -1;
  s.forked = true;
}

State& state() {
  static State* s = [] {
    theState = new State();
    pthread_atfork(nullptr, nullptr, forgetAfterFork);
    return theState;
  }();
  if (s->forked) {
    // The child is another process: the parent's windows are not its own.
    s->listeners.clear();
    s->allocated.clear();
    s->dirOwn.clear();
    s->dirXdg.clear();
    s->dir.clear();
    s->depth = 0;
    s->forked = false;
  }
  return *s;
}

int64_t nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const std::string& folder() {
  State& s = state();
  const char* own = std::getenv("OCULANT_RUNTIME_DIR");
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  own = own ? own : "";
  xdg = xdg ? xdg : "";
  // Resolved once per environment: checking the folder on every message would cost syscalls.
  if (s.dir.empty() || s.dirOwn != own || s.dirXdg != xdg) {
    if (s.lockFd >= 0) close(s.lockFd);
    s.lockFd = -1;
    s.dirOwn = own;
    s.dirXdg = xdg;
    s.dir = runtimeDirectory();
  }
  return s.dir;
}

bool validClassName(const char* name) {
  size_t length = 0;
  for (; name[length] != '\0'; ++length) {
    const char c = name[length];
    if (length >= 64 || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-')) {
      return false;
    }
  }
  return length > 0;
}

std::string windowFile(HWND window) {
  return "window." + std::to_string(window);
}
std::string classFile(const char* className) {
  return std::string("class.") + className;
}

// Holds the runtime folder's lock file for one claim or clean-up.
class FolderLock {
 public:
  FolderLock() {
    State& s = state();
    if (s.lockFd < 0 && !s.dir.empty()) {
      s.lockFd = open((s.dir + "/transport.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    fd_ = s.lockFd;
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) flock(fd_, LOCK_UN);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

bool makeAddress(const std::string& name, sockaddr_un* address, socklen_t* length) {
  const std::string& dir = folder();
  if (dir.empty()) return false;
  const std::string path = dir + "/" + name;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

std::string pathOf(const std::string& name) {
  return folder() + "/" + name;
}

bool sameUser(int fd) {
  ucred peer;
  socklen_t size = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  return peer.uid == geteuid();
}

// A non-blocking connection to the named socket, or -1 with errno set. EAGAIN means a live
// listener whose queue is full.
int connectTo(const std::string& name) {
  sockaddr_un address;
  socklen_t length;
  if (!makeAddress(name, &address, &length)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

enum class Liveness { LIVE, DEAD, UNKNOWN };

Liveness probe(const std::string& name) {
  const int fd = connectTo(name);
  if (fd >= 0) {
    close(fd);
    return Liveness::LIVE;
  }
  if (errno == EAGAIN) return Liveness::LIVE;
  if (errno == ECONNREFUSED || errno == ENOENT) return Liveness::DEAD;
  return Liveness::UNKNOWN;
}

// The handle a class link points to, 0 when there is no link or it is not one of ours.
HWND readClassLink(const char* className) {
  char target[64];
  const ssize_t n = readlink(pathOf(classFile(className)).c_str(), target, sizeof target - 1);
  if (n <= 0) return 0;
  target[n] = '\0';
  if (std::strncmp(target, "window.", 7) != 0) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(target + 7, &end, 10);
  if (end == target + 7 || *end != '\0' || value == 0 || value > UINT32_MAX) return 0;
  return static_cast<HWND>(value);
}

// Removes a class link whose window no longer listens, and that window's socket file. Call
// with the folder lock held. True when the class is free afterwards.
bool clearStaleClass(const char* className) {
  const std::string link = pathOf(classFile(className));
  struct stat info;
  if (lstat(link.c_str(), &info) != 0) return errno == ENOENT;
  const HWND holder = readClassLink(className);
  if (holder != 0 && probe(windowFile(holder)) != Liveness::DEAD) return false;
  if (holder == 0 && probe(classFile(className)) != Liveness::DEAD) return false;
  if (holder != 0) unlink(pathOf(windowFile(holder)).c_str());
  unlink(link.c_str());
  return true;
}

Listener* findListener(HWND window) {
  for (Listener& listener : state().listeners) {
    if (listener.window == window) return &listener;
  }
  return nullptr;
}

Listener* findLocalClass(const char* className) {
  for (Listener& listener : state().listeners) {
    if (listener.className == className) return &listener;
  }
  return nullptr;
}

// Waits for fd to become ready for events, at most timeoutMs. False on time-out or error.
bool waitFor(int fd, short events, int timeoutMs) {
  pollfd p = {fd, events, 0};
  for (;;) {
    const int r = poll(&p, 1, timeoutMs);
    if (r > 0) return true;
    if (r == 0 || errno != EINTR) return false;
  }
}

// Reads exactly size bytes, giving up when the peer goes quiet or the whole message is late.
bool receiveAll(int fd, void* out, size_t size, int64_t deadline) {
  char* p = static_cast<char*>(out);
  while (size > 0) {
    const ssize_t n = recv(fd, p, size, 0);
    if (n > 0) {
      p += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const int64_t left = deadline - nowMs();
    if (left <= 0) return false;
    if (!waitFor(fd, POLLIN, static_cast<int>(std::min<int64_t>(left, kReceiveStallMs)))) {
      return false;
    }
  }
  return true;
}

char* receiveBuffer(size_t size) {
  State& s = state();
  if (s.buffers.size() <= s.depth) s.buffers.resize(s.depth + 1);
  Buffer& buffer = s.buffers[s.depth];
  if (buffer.capacity < size) {
    buffer.data.reset(new (std::nothrow) char[size]);
    buffer.capacity = buffer.data ? size : 0;
  }
  return buffer.data.get();
}

void trimBuffer() {
  State& s = state();
  if (s.depth < s.buffers.size() && s.buffers[s.depth].capacity > kKeptBufferBytes) {
    s.buffers[s.depth] = Buffer();
  }
}

// Reads one envelope from an accepted connection, delivers it and sends the result back.
// Anything wrong drops the connection without a reply.
void serveConnection(HWND window, int fd, DeliverFn deliver) {
  if (!sameUser(fd)) return;
  const int64_t deadline = nowMs() + kReceiveLimitMs;
  unsigned char header[kEnvelopeSize];
  if (!receiveAll(fd, header, sizeof header, deadline)) return;
  Envelope envelope;
  if (parseEnvelope(header, sizeof header, &envelope) != EnvelopeStatus::OK) return;
  char* payload = nullptr;
  if (envelope.length > 0) {
    payload = receiveBuffer(envelope.length);
    if (payload == nullptr || !receiveAll(fd, payload, envelope.length, deadline)) return;
  }
  const COPYDATASTRUCT data = {envelope.code, envelope.length, payload};
  State& s = state();
  ++s.depth;
  const LRESULT result = deliver(window, envelope.sender, data);
  --s.depth;
  trimBuffer();
  unsigned char reply[kReplySize];
  const uint64_t bits = static_cast<uint64_t>(static_cast<int64_t>(result));
  for (size_t i = 0; i < kReplySize; ++i) reply[i] = static_cast<unsigned char>(bits >> (8 * i));
  // The socket's buffer is empty at this point, so eight bytes never block.
  send(fd, reply, sizeof reply, MSG_NOSIGNAL | MSG_DONTWAIT);
}

// Serves the connections already queued on one window's listener.
void serveListener(HWND window, DeliverFn deliver) {
  for (int served = 0; served < kMaxServedPerPass; ++served) {
    // Look the listener up again each time: a handler may have closed the window.
    const Listener* listener = findListener(window);
    if (listener == nullptr) return;
    const int fd = accept4(listener->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    serveConnection(window, fd, deliver);
    close(fd);
  }
}

// Sends header and payload, then waits for the reply, serving this process's windows
// meanwhile so that two windows sending to each other cannot deadlock.
LRESULT exchange(int fd, const unsigned char* header, const COPYDATASTRUCT& data, DeliverFn deliver,
                 bool* replied) {
  iovec parts[2] = {{const_cast<unsigned char*>(header), kEnvelopeSize},
                    {const_cast<void*>(data.lpData), data.lpData ? data.cbData : 0}};
  size_t toSend = kEnvelopeSize + parts[1].iov_len;
  int partIndex = 0;
  unsigned char reply[kReplySize];
  size_t received = 0;
  int64_t giveUp = nowMs() + kSendStallMs;
  std::vector<pollfd> polls;
  std::vector<HWND> owners;
  while (received < kReplySize) {
    bool progress = false;
    if (toSend > 0) {
      msghdr message = {};
      message.msg_iov = parts + partIndex;
      message.msg_iovlen = static_cast<size_t>(2 - partIndex);
      const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return 0;
      if (n > 0) {
        progress = true;
        toSend -= static_cast<size_t>(n);
        size_t sent = static_cast<size_t>(n);
        while (partIndex < 2 && sent >= parts[partIndex].iov_len) {
          sent -= parts[partIndex].iov_len;
          parts[partIndex].iov_len = 0;
          ++partIndex;
        }
        if (partIndex < 2) {
          parts[partIndex].iov_base = static_cast<char*>(parts[partIndex].iov_base) + sent;
          parts[partIndex].iov_len -= sent;
        }
      }
    } else {
      const ssize_t n = recv(fd, reply + received, kReplySize - received, MSG_DONTWAIT);
      if (n == 0) return 0;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return 0;
      if (n > 0) {
        progress = true;
        received += static_cast<size_t>(n);
        continue;
      }
    }
    if (progress) {
      giveUp = nowMs() + kSendStallMs;
      continue;
    }
    polls.assign(1, pollfd{fd, static_cast<short>(toSend > 0 ? POLLOUT : POLLIN), 0});
    owners.assign(1, 0);
    if (deliver != nullptr) {
      for (const Listener& listener : state().listeners) {
        polls.push_back(pollfd{listener.fd, POLLIN, 0});
        owners.push_back(listener.window);
      }
    }
    const int64_t left = giveUp - nowMs();
    if (left <= 0) return 0;
    const int ready = poll(polls.data(), polls.size(), static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return 0;
    for (size_t i = 1; ready > 0 && i < polls.size(); ++i) {
      if (polls[i].revents & POLLIN) {
        serveListener(owners[i], deliver);
        giveUp = nowMs() + kSendStallMs;
      }
    }
  }
  if (replied != nullptr) *replied = true;
  uint64_t bits = 0;
  for (size_t i = 0; i < kReplySize; ++i) bits |= static_cast<uint64_t>(reply[i]) << (8 * i);
  return static_cast<LRESULT>(static_cast<int64_t>(bits));
}

// Connects to the named socket, retrying while a live listener's queue is full. -1 when there
// is no live listener (errno ECONNREFUSED or ENOENT then) or it belongs to another user.
int connectForSend(const std::string& name, DeliverFn deliver) {
  const int64_t giveUp = nowMs() + kSendStallMs;
  for (;;) {
    const int fd = connectTo(name);
    if (fd >= 0) {
      if (sameUser(fd)) return fd;
      close(fd);
      errno = EPERM;
      return -1;
    }
    if (errno != EAGAIN || nowMs() > giveUp) return -1;
    if (deliver != nullptr) transportServeWaiting(deliver);
    usleep(1000);
  }
}

LRESULT sendOver(int fd, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliver,
                 bool* replied = nullptr) {
  if (data.cbData > kMaxPayload || (data.cbData > 0 && data.lpData == nullptr)) {
    close(fd);
    return 0;
  }
  // A send buffer that holds the whole message (as far as the system allows) lets a frame go
  // out in one write instead of many rounds of waking the receiver and waiting for room.
  if (data.cbData > kLargeMessageBytes) {
    const int wanted =
        static_cast<int>(std::min<size_t>(data.cbData + kEnvelopeSize, kMaxSendBuffer));
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
  }
  unsigned char header[kEnvelopeSize];
  writeEnvelope(Envelope{static_cast<uint32_t>(data.dwData), sender, data.cbData}, header);
  const LRESULT result = exchange(fd, header, data, deliver, replied);
  close(fd);
  return result;
}

}  // namespace

HWND allocateWindowHandle() {
  // The process id fills the upper 22 bits (Linux never hands out larger ids) and a counter
  // the lower 10, so handles of different live processes never collide.
  State& s = state();
  const uint32_t pid = static_cast<uint32_t>(getpid());
  for (int tries = 0; tries < 1023; ++tries) {
    const uint32_t counter = s.nextCounter;
    s.nextCounter = counter % 1023 + 1;
    const HWND handle = pid << 10 | counter;
    if (std::find(s.allocated.begin(), s.allocated.end(), handle) == s.allocated.end()) {
      s.allocated.push_back(handle);
      return handle;
    }
  }
  return 0;
}

bool transportListen(HWND window, const char* className) {
  State& s = state();
  if (window == 0 || findListener(window) != nullptr) return false;
  if (className != nullptr && !validClassName(className)) return false;
  sockaddr_un address;
  socklen_t length;
  if (!makeAddress(windowFile(window), &address, &length)) return false;
  FolderLock lock;
  if (probe(windowFile(window)) == Liveness::LIVE) return false;
  unlink(address.sun_path);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 128) != 0) {
    close(fd);
    return false;
  }
  chmod(address.sun_path, 0600);
  if (className != nullptr) {
    const std::string link = pathOf(classFile(className));
    bool claimed = symlink(windowFile(window).c_str(), link.c_str()) == 0;
    if (!claimed && errno == EEXIST && clearStaleClass(className)) {
      claimed = symlink(windowFile(window).c_str(), link.c_str()) == 0;
    }
    if (!claimed) {
      close(fd);
      unlink(address.sun_path);
      return false;
    }
  }
  if (s.epollFd < 0) s.epollFd = epoll_create1(EPOLL_CLOEXEC);
  if (s.epollFd >= 0) {
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.u32 = window;
    epoll_ctl(s.epollFd, EPOLL_CTL_ADD, fd, &event);
  }
  s.listeners.push_back(Listener{window, fd, className ? className : ""});
  if (std::find(s.allocated.begin(), s.allocated.end(), window) == s.allocated.end()) {
    s.allocated.push_back(window);
  }
  return true;
}

void transportClose(HWND window) {
  State& s = state();
  Listener* listener = findListener(window);
  if (listener == nullptr) return;
  const Listener closing = *listener;
  s.listeners.erase(s.listeners.begin() + (listener - s.listeners.data()));
  s.allocated.erase(std::remove(s.allocated.begin(), s.allocated.end(), window), s.allocated.end());
  if (s.epollFd >= 0) epoll_ctl(s.epollFd, EPOLL_CTL_DEL, closing.fd, nullptr);
  close(closing.fd);
  if (folder().empty()) return;
  FolderLock lock;
  if (!closing.className.empty() && readClassLink(closing.className.c_str()) == window) {
    unlink(pathOf(classFile(closing.className.c_str())).c_str());
  }
  unlink(pathOf(windowFile(window)).c_str());
}

void transportServeWaiting(DeliverFn deliver) {
  if (deliver == nullptr) return;
  std::vector<HWND> windows;
  for (const Listener& listener : state().listeners) windows.push_back(listener.window);
  for (HWND window : windows) serveListener(window, deliver);
}

int transportWakeFd() {
  const State& s = state();
  return s.listeners.empty() ? -1 : s.epollFd;
}

bool transportIsLocal(HWND window) {
  return window != 0 && findListener(window) != nullptr;
}

HWND transportFindClass(const char* className) {
  if (className == nullptr || !validClassName(className)) return 0;
  if (const Listener* local = findLocalClass(className)) return local->window;
  if (folder().empty()) return 0;
  const HWND holder = readClassLink(className);
  if (holder != 0 && probe(windowFile(holder)) == Liveness::LIVE) return holder;
  struct stat info;
  if (holder == 0 && lstat(pathOf(classFile(className)).c_str(), &info) != 0) return 0;
  FolderLock lock;
  clearStaleClass(className);
  return 0;
}

LRESULT transportSend(HWND target, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliver) {
  if (target == 0) return 0;
  if (transportIsLocal(target)) return deliver ? deliver(target, sender, data) : 0;
  const int fd = connectForSend(windowFile(target), deliver);
  if (fd < 0) {
    if (errno == ECONNREFUSED) {
      FolderLock lock;
      if (probe(windowFile(target)) == Liveness::DEAD) unlink(pathOf(windowFile(target)).c_str());
    }
    return 0;
  }
  return sendOver(fd, sender, data, deliver);
}

LRESULT transportSendToClass(const char* className, HWND sender, const COPYDATASTRUCT& data,
                             DeliverFn deliver, bool* delivered) {
  bool replied = false;
  LRESULT result = 0;
  if (className != nullptr && validClassName(className)) {
    if (const Listener* local = findLocalClass(className)) {
      replied = deliver != nullptr;
      if (replied) result = deliver(local->window, sender, data);
    } else {
      const int fd = connectForSend(classFile(className), deliver);
      if (fd >= 0) {
        result = sendOver(fd, sender, data, deliver, &replied);
      } else if (errno == ECONNREFUSED || errno == ENOENT) {
        FolderLock lock;
        clearStaleClass(className);
      }
    }
  }
  if (delivered != nullptr) *delivered = replied;
  return result;
}
