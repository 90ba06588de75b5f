// The rules the loop below lives by. Handlers run inside it and may call it again, so these
// are what keeps a record from being lost or freed under a caller that still walks it.
//
// Re-entering the pump
// - A handler may send, post or serve: its call runs the pump again, nested inside the outer
//   call's delivery. Below kMaxNesting levels nested pumps still deliver; at that depth they only
//   move exchanges along, and the deeper messages wait for the unwinding.
// - The outer call walks `incoming` and `outgoing` by index and reads the size afresh each step;
//   a nested call may append records (each is held by pointer, so growing a list moves none) but
//   never removes one. So after a handler returns, the record being handled is still at the
//   index the outer walk holds.
// - `depth` and `handling` are set around each handler call and restored after it; a post made
//   by a handler is chained to the message being handled, which is answered only once its posts
//   are finished.
//
// Removing records
// - Only sweep() removes, and only at the top level (no handler running): then no walk is under
//   way. It removes messages arriving that are DONE and messages sent that are finished and not
//   waited on; a synchronous send holds its own record by pointer, and `waitedOn` keeps it until
//   that send has read it.
// - A record is finished (descriptor closed, state DONE or FINISHED) before it is removed, never
//   the other way round; finishing twice does nothing.
// - A descriptor that a forked child may share is taken out of the loop before it is closed, or
//   the child's copy would keep it registered and firing. A listener records no fork count, so
//   closing one passes `forks + 1`: it is always taken out. An event for a listener that is gone
//   therefore means a registration outlived its socket.
//
// Threads
// - A state is used by one thread at a time; the process's own by the thread that runs the
//   windows, others by the threads that made them current (TransportUse). The only process-wide
//   data are the fork count and the list of states, which the fork handlers walk.
//
// Builds with checks (the sanitizer build) stop with a message where one of these is broken.
#include "platform/posix/transport.h"

#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/transport_files.h"

#ifdef OCULANT_CHECKS
#define TRANSPORT_CHECK(condition) \
  ((condition) ? void(0) : transportCheckFailed(#condition, __LINE__))
#else
#define TRANSPORT_CHECK(condition) void(0)
#endif

namespace {

[[maybe_unused]] void transportCheckFailed(const char* condition, int line) {
  std::fprintf(stderr, "transport.cpp:%d: a rule of the transport is broken: %s\n", line,
               condition);
  std::abort();
}

// Connections being read, waiting to be handled or waiting for their posts; when full, the one
// that has held its place longest makes room, so a flood of idle, trickling or slow peers
// cannot lock healthy ones out.
constexpr size_t kMaxIncoming = 256;
// The replies a window has under way: a request that asks for replies waits while its
// requester has this many requests whose replies are still going out, or while the replies
// under way hold this many bytes. Replies are made only as fast as requesters take them, so
// memory stays bounded whoever asks (one reply set beyond the bytes at most).
constexpr int kRequestsInFlightPerRequester = 2;
constexpr size_t kMaxReplyBytes = 128u << 20;
// Memory freed after a load goes back to the system once the allocator holds this much unused.
constexpr size_t kTrimAboveFreeBytes = 16u << 20;
constexpr int kMaxAcceptsPerPass = 64;
// Payload bytes held by messages still arriving, all connections together.
constexpr size_t kMaxBufferedBytes = 256u << 20;
// How long one serving pass may keep moving exchanges along before the window gets its turn.
constexpr int kPassBudgetMs = 5;
// Handlers that send, served inside sends of handlers: deeper messages wait for the unwinding.
constexpr int kMaxNesting = 4;
// How soon a connect to a listener whose queue is full is tried again.
constexpr int kConnectRetryMs = 2;
// Messages above this size get a send buffer of their own size, up to the second limit.
constexpr size_t kLargeMessageBytes = 64u << 10;
constexpr size_t kMaxSendBuffer = 16u << 20;
constexpr uint64_t kListenerKey = uint64_t{1} << 63;

int64_t nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct Listener {
  HWND window;
  int fd;
  std::string className;
  int claim = -1;                   // the class's lock, held while the window holds the class
  bool onlyFromAddressees = false;  // takes messages only from processes it awaits answers from
};

// Payload memory. Frames of one size arrive again and again, so buffers are recycled rather
// than allocated (and paged in) for every message.
struct Buffer {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
};
constexpr size_t kSpareBuffers = 4;
constexpr size_t kKeptBufferBytes = 16u << 20;

enum class InState { READING, COMPLETE, DELIVERING, WAITING_POSTS, DONE };

// A message arriving at one of this process's windows.
struct Incoming {
  uint64_t id;
  int fd;
  uint64_t forksAtOpen;
  HWND window;
  int64_t deadline;  // for the whole message to arrive
  uint32_t watched = 0;
  unsigned char header[kEnvelopeSize];
  size_t headerBytes = 0;
  Envelope envelope = {};
  bool parsed = false;
  Buffer payload;
  size_t payloadBytes = 0;
  InState state = InState::READING;
  int pendingPosts = 0;  // messages posted while it was handled and not yet finished
  bool waitsForBudget = false;
  LRESULT result = 0;
};

enum class OutState { QUEUED, CONNECTING, SENDING, AWAITING_REPLY, FINISHED };

// A message this process sends: posted, or one that a synchronous send waits on.
struct Outgoing {
  uint64_t id;
  HWND target;
  std::string className;  // addressed by class when not empty
  int fd = -1;
  uint64_t forksAtOpen = 0;
  pid_t peerPid = 0;  // the process that listens on the target's socket
  uint32_t watched = 0;
  unsigned char header[kEnvelopeSize];
  const char* payload = nullptr;
  uint32_t length = 0;
  std::shared_ptr<const void> keepAlive;
  std::vector<char> copy;
  size_t sent = 0;  // of header and payload together
  unsigned char reply[kReplySize];
  size_t replyBytes = 0;
  int64_t deadline = 0;
  int64_t retryAt = 0;
  uint64_t parent = 0;  // the incoming message whose answer waits for this one
  bool waitedOn = false;
  bool posted = false;  // counted in the replies under way
  OutState state = OutState::QUEUED;
  SendStatus status = SendStatus::NO_ANSWER;
  LRESULT result = 0;
};

// The function that handles this process's messages, with what it was given for them.
struct Handler {
  DeliverFn deliver;
  void* context;
  explicit operator bool() const { return deliver != nullptr; }
  LRESULT operator()(HWND target, HWND sender, const COPYDATASTRUCT& data) const {
    return deliver(context, target, sender, data);
  }
};

}  // namespace

struct TransportState {
  std::vector<Listener> listeners;
  std::vector<HWND> allocated;  // handles handed out and not yet closed
  uint32_t nextCounter = 1;
  int epollFd = -1;
  std::vector<std::unique_ptr<Incoming>> incoming;
  std::vector<std::unique_ptr<Outgoing>> outgoing;
  std::vector<Buffer> spareBuffers;
  uint64_t nextId = 1;
  size_t bufferedBytes = 0;
  size_t replyBytes = 0;                // posted and not finished
  size_t repliesSinceTrim = 0;          // bytes of replies finished since the last trim
  std::vector<uint32_t> replyingCodes;  // codes whose handling posted replies
  int depth = 0;                        // handlers running, one inside the other
  uint64_t handling = 0;                // the incoming message whose handler runs now
  std::vector<int64_t> sendDeadlines;   // of the synchronous sends under way, innermost last
  bool forked = false;                  // set in a forked child until its first use
  int users = 0;                        // threads it is current on (TransportUse), under statesLock
};

namespace {

using State = TransportState;

// Forks of this process so far: a descriptor opened before the latest one may be shared with
// a child, which keeps it registered in the loop unless it is taken out before the close.
std::atomic<uint64_t> forks{0};

// Every state of the process, so that a forked child lets go of them; the lock is held across a
// fork, so the list and the users counts are whole in the child.
std::mutex statesLock;
std::vector<State*> allStates;
// The state this thread uses now: its own when it made one current, else the process's.
thread_local State* currentState = nullptr;

void beforeFork() {
  statesLock.lock();
  ++forks;
}

void afterForkInParent() {
  statesLock.unlock();
}

// Runs in a forked child, where only async-signal-safe calls are sure to work: the parent's
// descriptors are closed now, the bookkeeping is dropped at the child's next use.
void forgetAfterFork(State& s) {
  for (const Listener& listener : s.listeners) {
    close(listener.fd);
    if (listener.claim >= 0) close(listener.claim);  // never unlocked here: the parent holds it
  }
  for (const auto& in : s.incoming) {
    if (in->fd >= 0) close(in->fd);
  }
  for (const auto& out : s.outgoing) {
    if (out->fd >= 0) close(out->fd);
  }
  if (s.epollFd >= 0) close(s.epollFd);
  s.epollFd = -1;
  s.forked = true;
}

// A state in use on another thread at the fork may be in the middle of a change: its
// descriptors stay open in the child (which has no such thread), and it is only marked.
void afterForkInChild() {
  for (State* s : allStates) {
    if (s == currentState || s->users == 0) {
      forgetAfterFork(*s);
    } else {
      s->forked = true;
    }
  }
  statesLock.unlock();
}

State* registerState(State* s) {
  static const bool forkHandlers =
      pthread_atfork(beforeFork, afterForkInParent, afterForkInChild) == 0;
  (void)forkHandlers;
  std::lock_guard<std::mutex> hold(statesLock);
  allStates.push_back(s);
  return s;
}

State& state() {
  static State* const processState = registerState(new State());
  State* s = currentState != nullptr ? currentState : processState;
  if (s->forked) {
    // The child is another process: the parent's windows and exchanges are not its own.
    forgetTransportFolder();
    const int users = s->users;
    *s = State();
    s->users = users;
  }
  return *s;
}

int epollFd() {
  State& s = state();
  if (s.epollFd < 0) s.epollFd = epoll_create1(EPOLL_CLOEXEC);
  return s.epollFd;
}

// Sets what the loop waits for on fd. Registration is dropped explicitly before a close, since
// a forked child may briefly share the descriptor and keep it registered otherwise.
void watch(int fd, uint64_t key, uint32_t events, uint32_t* watched) {
  const int ep = epollFd();
  if (ep < 0 || fd < 0) return;
  epoll_event event = {};
  event.events = events;
  event.data.u64 = key;
  if (*watched == 0 && events != 0) {
    epoll_ctl(ep, EPOLL_CTL_ADD, fd, &event);
  } else if (*watched != 0 && events == 0) {
    epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
  } else if (*watched != events) {
    epoll_ctl(ep, EPOLL_CTL_MOD, fd, &event);
  }
  *watched = events;
}

// Closing the only reference to a socket takes it out of the loop by itself, which saves a
// call per connection; one that a forked child may share is taken out first.
void closeWatched(int* fd, uint32_t* watched, uint64_t forksAtOpen) {
  if (*fd < 0) return;
  if (forksAtOpen != forks) watch(*fd, 0, 0, watched);
  *watched = 0;
  close(*fd);
  *fd = -1;
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

Incoming* findIncoming(uint64_t id) {
  for (const auto& in : state().incoming) {
    if (in->id == id) return in.get();
  }
  return nullptr;
}

// ----- messages arriving

void releasePayload(Incoming* in) {
  State& s = state();
  Buffer& buffer = in->payload;
  s.bufferedBytes -= std::min(s.bufferedBytes, buffer.capacity);
  if (buffer.capacity > 0 && buffer.capacity <= kKeptBufferBytes) {
    if (s.spareBuffers.size() == kSpareBuffers) s.spareBuffers.erase(s.spareBuffers.begin());
    s.spareBuffers.push_back(std::move(buffer));
  }
  buffer = Buffer();
}

// Room for the next payload bytes: a spare buffer that holds the whole payload, else one grown
// as bytes arrive, so a length that is only announced costs nothing. False past the limit.
bool growPayload(Incoming* in) {
  State& s = state();
  const size_t length = in->envelope.length;
  Buffer& buffer = in->payload;
  if (buffer.capacity == 0) {
    for (size_t i = 0; i < s.spareBuffers.size(); ++i) {
      if (s.spareBuffers[i].capacity >= length) {
        buffer = std::move(s.spareBuffers[i]);
        s.spareBuffers.erase(s.spareBuffers.begin() + i);
        s.bufferedBytes += buffer.capacity;
        return true;
      }
    }
  }
  const size_t grown = std::min(length, std::max<size_t>(buffer.capacity * 2, 64u << 10));
  if (s.bufferedBytes + grown - buffer.capacity > kMaxBufferedBytes) return false;
  std::unique_ptr<char[]> data(new (std::nothrow) char[grown]);
  if (!data) return false;
  if (in->payloadBytes > 0) std::memcpy(data.get(), buffer.data.get(), in->payloadBytes);
  s.bufferedBytes += grown - buffer.capacity;
  buffer.data = std::move(data);
  buffer.capacity = grown;
  return true;
}

void dropIncoming(Incoming* in) {
  releasePayload(in);
  closeWatched(&in->fd, &in->watched, in->forksAtOpen);
  in->state = InState::DONE;
}

void answer(Incoming* in) {
  unsigned char reply[kReplySize];
  const uint64_t bits = static_cast<uint64_t>(static_cast<int64_t>(in->result));
  for (size_t i = 0; i < kReplySize; ++i) reply[i] = static_cast<unsigned char>(bits >> (8 * i));
  // The connection's buffer is empty at this point, so eight bytes never block.
  if (in->fd >= 0) send(in->fd, reply, sizeof reply, MSG_NOSIGNAL | MSG_DONTWAIT);
  dropIncoming(in);
}

// Reads what has arrived; false when the connection is to be dropped.
bool readIncoming(Incoming* in) {
  while (in->headerBytes < kEnvelopeSize) {
    const ssize_t n =
        recv(in->fd, in->header + in->headerBytes, kEnvelopeSize - in->headerBytes, 0);
    if (n > 0) {
      in->headerBytes += static_cast<size_t>(n);
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  }
  if (!in->parsed) {
    if (parseEnvelope(in->header, kEnvelopeSize, &in->envelope) != EnvelopeStatus::OK) {
      return false;
    }
    in->parsed = true;
  }
  const size_t length = in->envelope.length;
  while (in->payloadBytes < length) {
    if (in->payloadBytes == in->payload.capacity && !growPayload(in)) return false;
    const size_t room = std::min(length, in->payload.capacity) - in->payloadBytes;
    const ssize_t n = recv(in->fd, in->payload.data.get() + in->payloadBytes, room, 0);
    if (n > 0) {
      in->payloadBytes += static_cast<size_t>(n);
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  }
  in->state = InState::COMPLETE;
  watch(in->fd, in->id, 0, &in->watched);
  return true;
}

size_t liveIncoming() {
  size_t count = 0;
  for (const auto& in : state().incoming) count += in->state != InState::DONE;
  return count;
}

// The connection that has held its place longest and can give it up (any but those whose
// handlers run now): the one dropped when the table is full.
Incoming* longestHeld() {
  for (const auto& in : state().incoming) {
    if (in->state == InState::READING || in->state == InState::COMPLETE ||
        in->state == InState::WAITING_POSTS) {
      return in.get();
    }
  }
  return nullptr;
}

void giveUpReplies(Incoming* in);

void evict(Incoming* in) {
  if (in->state == InState::WAITING_POSTS) {
    giveUpReplies(in);
  } else {
    dropIncoming(in);
  }
}

// True when a send of this process waits on a window of that process: the only one whose
// messages a window that hears only from its addressees takes.
bool awaitingAnswerFrom(pid_t pid) {
  for (const auto& out : state().outgoing) {
    if (out->waitedOn && out->peerPid == pid &&
        (out->state == OutState::SENDING || out->state == OutState::AWAITING_REPLY)) {
      return true;
    }
  }
  return false;
}

bool acceptFrom(HWND window, int* budget) {
  bool progress = false;
  while (*budget > 0) {
    const Listener* listener = findListener(window);
    const bool full = liveIncoming() >= kMaxIncoming;
    if (listener == nullptr || (full && longestHeld() == nullptr)) break;
    const bool onlyFromAddressees = listener->onlyFromAddressees;
    const int fd = accept4(listener->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) break;
    --*budget;
    progress = true;
    pid_t peer = 0;
    if (!sameUser(fd, &peer) || (onlyFromAddressees && !awaitingAnswerFrom(peer))) {
      close(fd);  // hung up unanswered: not handled
      continue;
    }
    if (full) evict(longestHeld());
    State& s = state();
    auto in = std::make_unique<Incoming>();
    in->id = s.nextId++;
    in->fd = fd;
    in->forksAtOpen = forks;
    in->window = window;
    in->deadline = nowMs() + kReceiveLimitMs;
    Incoming* added = in.get();
    s.incoming.push_back(std::move(in));
    // Most senders write the whole message at once: read it now rather than a pass later.
    if (!readIncoming(added)) {
      dropIncoming(added);
    } else if (added->state == InState::READING) {
      watch(added->fd, added->id, EPOLLIN, &added->watched);
    }
  }
  return progress;
}

// A sender that hung up has given the message up: it must not be acted on any more.
bool senderGone(int fd) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

bool asksForReplies(uint32_t code) {
  const std::vector<uint32_t>& codes = state().replyingCodes;
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Whether the message may be handled now. The transport does not know the codes: it learns
// which ones are answered with replies from the handlers that post them, so that messages
// without replies (a pose, a quit) never wait behind requests.
bool withinReplyBudget(const Incoming& in) {
  const State& s = state();
  if (!asksForReplies(in.envelope.code)) return true;
  if (s.replyBytes >= kMaxReplyBytes) return false;
  int inFlight = 0;
  for (const auto& other : s.incoming) {
    inFlight +=
        other->state == InState::WAITING_POSTS && other->envelope.sender == in.envelope.sender;
  }
  return inFlight < kRequestsInFlightPerRequester;
}

// A message waiting for the budget is dropped as soon as its sender hangs up.
void waitForBudget(Incoming* in) {
  if (in->waitsForBudget) return;
  in->waitsForBudget = true;
  watch(in->fd, in->id, EPOLLHUP, &in->watched);
}

void deliverIncoming(Incoming* in, const Handler& deliver) {
  State& s = state();
  if (senderGone(in->fd)) {
    dropIncoming(in);
    return;
  }
  in->state = InState::DELIVERING;
  const COPYDATASTRUCT data = {in->envelope.code, in->envelope.length,
                               in->envelope.length > 0 ? in->payload.data.get() : nullptr};
  const uint64_t outer = s.handling;
  [[maybe_unused]] const int outerDepth = s.depth;
  s.handling = in->id;
  ++s.depth;
  in->result = deliver(in->window, in->envelope.sender, data);
  TRANSPORT_CHECK(s.depth == outerDepth + 1 && s.handling == in->id);
  --s.depth;
  s.handling = outer;
  releasePayload(in);
  if (in->pendingPosts > 0) {
    in->state = InState::WAITING_POSTS;
    // Only a hang-up is of interest now: it cancels the posts nobody will read.
    watch(in->fd, in->id, EPOLLHUP, &in->watched);
  } else {
    answer(in);
  }
}

// ----- messages sent

bool unfinished(const Outgoing& out) {
  return out.state != OutState::FINISHED;
}

void finish(Outgoing* out, SendStatus status);

// Posts after a failed one in the same handling to the same window are not sent: a receiver
// never gets a part without the whole that came before it.
void failLaterInChain(const Outgoing& failed) {
  if (failed.parent == 0) return;
  for (const auto& other : state().outgoing) {
    if (other->id > failed.id && other->parent == failed.parent && other->target == failed.target &&
        unfinished(*other)) {
      finish(other.get(), SendStatus::NO_ANSWER);
    }
  }
}

void finish(Outgoing* out, SendStatus status) {
  if (!unfinished(*out)) return;
  closeWatched(&out->fd, &out->watched, out->forksAtOpen);
  out->state = OutState::FINISHED;
  out->status = status;
  if (out->posted) {
    State& s = state();
    s.replyBytes -= std::min<size_t>(s.replyBytes, out->length);
    s.repliesSinceTrim += out->length;
  }
  out->keepAlive.reset();
  std::vector<char>().swap(out->copy);
  if (status != SendStatus::HANDLED) failLaterInChain(*out);
  if (out->parent != 0) {
    Incoming* parent = findIncoming(out->parent);
    if (parent != nullptr && --parent->pendingPosts == 0 &&
        parent->state == InState::WAITING_POSTS) {
      answer(parent);
    }
  }
}

// The requester gave up, or made room for another: what it asked for goes nowhere.
void giveUpReplies(Incoming* in) {
  State& s = state();
  closeWatched(&in->fd, &in->watched, in->forksAtOpen);
  for (size_t j = 0; j < s.outgoing.size(); ++j) {
    Outgoing* out = s.outgoing[j].get();
    if (out->parent == in->id) finish(out, SendStatus::NO_ANSWER);
  }
}

void writeOutgoing(Outgoing* out) {
  while (out->sent < kEnvelopeSize + out->length) {
    iovec parts[2];
    int count = 0;
    if (out->sent < kEnvelopeSize) {
      parts[count++] = {out->header + out->sent, kEnvelopeSize - out->sent};
      if (out->length > 0) parts[count++] = {const_cast<char*>(out->payload), out->length};
    } else {
      const size_t done = out->sent - kEnvelopeSize;
      parts[count++] = {const_cast<char*>(out->payload) + done, out->length - done};
    }
    msghdr message = {};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<size_t>(count);
    const ssize_t n = sendmsg(out->fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      out->sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      watch(out->fd, out->id, EPOLLOUT, &out->watched);
      return;
    }
    finish(out, SendStatus::HUNG_UP);  // the receiver hung up before taking it all
    return;
  }
  out->state = OutState::AWAITING_REPLY;
  watch(out->fd, out->id, EPOLLIN, &out->watched);
}

void readReply(Outgoing* out) {
  while (out->replyBytes < kReplySize) {
    const ssize_t n = recv(out->fd, out->reply + out->replyBytes, kReplySize - out->replyBytes, 0);
    if (n > 0) {
      out->replyBytes += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    finish(out, SendStatus::HUNG_UP);  // not handled
    return;
  }
  uint64_t bits = 0;
  for (size_t i = 0; i < kReplySize; ++i) bits |= static_cast<uint64_t>(out->reply[i]) << (8 * i);
  out->result = static_cast<LRESULT>(static_cast<int64_t>(bits));
  finish(out, SendStatus::HANDLED);
}

void connectOutgoing(Outgoing* out) {
  const std::string name =
      out->className.empty() ? windowFile(out->target) : classFile(out->className.c_str());
  const int fd = connectTo(name);
  if (fd < 0) {
    if (errno == EAGAIN) {
      // A live listener whose queue is full: it may take us in a moment.
      out->state = OutState::CONNECTING;
      out->retryAt = nowMs() + kConnectRetryMs;
      return;
    }
    // A stale name stays for the next window of its class to replace (class_claim.cpp).
    finish(out, SendStatus::NO_WINDOW);
    return;
  }
  out->fd = fd;
  out->forksAtOpen = forks;
  if (!sameUser(fd, &out->peerPid)) {
    finish(out, SendStatus::NO_WINDOW);
    return;
  }
  // A send buffer that holds the whole message (as far as the system allows) lets a frame go
  // out in one write instead of many rounds of waking the receiver and waiting for room.
  if (out->length > kLargeMessageBytes) {
    const int wanted =
        static_cast<int>(std::min<size_t>(out->length + kEnvelopeSize, kMaxSendBuffer));
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
  }
  out->state = OutState::SENDING;
  writeOutgoing(out);
}

// A post may go once everything posted before it in the same chain has finished.
bool chainFree(const Outgoing& out) {
  for (const auto& other : state().outgoing) {
    if (other->id >= out.id) break;
    if (other->parent == out.parent && other->target == out.target && unfinished(*other)) {
      return false;
    }
  }
  return true;
}

// ----- the loop

// Deadlines, retries and queued posts that may start now.
bool advanceTimers(int64_t now) {
  bool progress = false;
  State& s = state();
  for (size_t i = 0; i < s.incoming.size(); ++i) {
    Incoming* in = s.incoming[i].get();
    if (in->state == InState::READING && now >= in->deadline) {
      dropIncoming(in);
      progress = true;
    }
  }
  for (size_t i = 0; i < s.outgoing.size(); ++i) {
    Outgoing* out = s.outgoing[i].get();
    if (!unfinished(*out)) continue;
    if (out->state == OutState::QUEUED) {
      if (!chainFree(*out)) continue;
      out->deadline = std::min(out->deadline, now + kPostLimitMs);
      connectOutgoing(out);
      progress = true;
    } else if (now >= out->deadline) {
      finish(out, SendStatus::NO_ANSWER);
      progress = true;
    } else if (out->state == OutState::CONNECTING && now >= out->retryAt) {
      connectOutgoing(out);
    }
  }
  return progress;
}

void handleEvent(const epoll_event& event, int* acceptBudget) {
  State& s = state();
  const uint64_t key = event.data.u64;
  if (key & kListenerKey) {
    TRANSPORT_CHECK(findListener(static_cast<HWND>(key & 0xFFFFFFFFu)) != nullptr);
    acceptFrom(static_cast<HWND>(key & 0xFFFFFFFFu), acceptBudget);
    return;
  }
  for (size_t i = 0; i < s.incoming.size(); ++i) {
    Incoming* in = s.incoming[i].get();
    if (in->id != key) continue;
    if (in->state == InState::READING) {
      if (!readIncoming(in)) dropIncoming(in);
    } else if (in->state == InState::COMPLETE) {
      dropIncoming(in);  // hung up while it waited for the budget
    } else if (in->state == InState::WAITING_POSTS) {
      giveUpReplies(in);
    }
    return;
  }
  for (size_t i = 0; i < s.outgoing.size(); ++i) {
    Outgoing* out = s.outgoing[i].get();
    if (out->id != key) continue;
    if (out->state == OutState::SENDING) writeOutgoing(out);
    if (out->state == OutState::AWAITING_REPLY) readReply(out);
    return;
  }
}

// Large replies freed leave the allocator holding pages it keeps for later: once the replies
// have all gone, they are given back, so a camera's memory returns to its size before a load.
void returnFreedMemory() {
  State& s = state();
  if (s.replyBytes > 0 || s.repliesSinceTrim < kTrimAboveFreeBytes) return;
  s.repliesSinceTrim = 0;
#ifdef __GLIBC__
  if (mallinfo2().fordblks > kTrimAboveFreeBytes) malloc_trim(0);
#endif
}

void sweep() {
  State& s = state();
  if (s.depth > 0) return;
  TRANSPORT_CHECK(s.handling == 0);
  returnFreedMemory();
  s.incoming.erase(std::remove_if(s.incoming.begin(), s.incoming.end(),
                                  [](const auto& in) { return in->state == InState::DONE; }),
                   s.incoming.end());
  s.outgoing.erase(
      std::remove_if(s.outgoing.begin(), s.outgoing.end(),
                     [](const auto& out) { return !unfinished(*out) && !out->waitedOn; }),
      s.outgoing.end());
}

// One turn of the loop: waits at most waitMs for something to happen, then moves every
// exchange along. True when anything moved.
bool pumpOnce(const Handler& deliver, int waitMs) {
  State& s = state();
  bool progress = advanceTimers(nowMs());
  const int ep = epollFd();
  if (ep >= 0) {
    epoll_event events[64];
    const int ready = epoll_wait(ep, events, 64, progress ? 0 : waitMs);
    int acceptBudget = kMaxAcceptsPerPass;
    for (int i = 0; i < ready; ++i) handleEvent(events[i], &acceptBudget);
    progress = progress || ready > 0;
  }
  progress = advanceTimers(nowMs()) || progress;
  if (deliver && s.depth < kMaxNesting) {
    for (size_t i = 0; i < s.incoming.size(); ++i) {
      Incoming* in = s.incoming[i].get();
      if (in->state != InState::COMPLETE) continue;
      if (!withinReplyBudget(*in)) {
        waitForBudget(in);
        continue;
      }
      deliverIncoming(in, deliver);
      TRANSPORT_CHECK(i < s.incoming.size() && s.incoming[i].get() == in);
      progress = true;
    }
  }
  sweep();
  return progress;
}

bool exchangeUnderWay() {
  for (const auto& out : state().outgoing) {
    if (out->state == OutState::SENDING || out->state == OutState::AWAITING_REPLY) return true;
  }
  return false;
}

Outgoing* newOutgoing(HWND target, const char* className, HWND sender, const COPYDATASTRUCT& data) {
  State& s = state();
  auto out = std::make_unique<Outgoing>();
  out->id = s.nextId++;
  out->target = target;
  if (className != nullptr) out->className = className;
  out->payload = static_cast<const char*>(data.lpData);
  out->length = data.lpData != nullptr ? data.cbData : 0;
  writeEnvelope(Envelope{static_cast<uint32_t>(data.dwData), sender, out->length}, out->header);
  out->deadline = INT64_MAX;
  s.outgoing.push_back(std::move(out));
  return s.outgoing.back().get();
}

SendStatus sendAndWait(HWND target, const char* className, HWND sender, const COPYDATASTRUCT& data,
                       const Handler& deliver, int timeoutMs, LRESULT* result) {
  State& s = state();
  if (data.cbData > kMaxPayload || (data.cbData > 0 && data.lpData == nullptr) ||
      transportFolder().empty()) {
    return SendStatus::NO_WINDOW;
  }
  int64_t deadline = nowMs() + std::max(timeoutMs, 0);
  if (!s.sendDeadlines.empty()) deadline = std::min(deadline, s.sendDeadlines.back());
  Outgoing* out = newOutgoing(target, className, sender, data);
  out->waitedOn = true;
  out->deadline = deadline;
  s.sendDeadlines.push_back(deadline);
  connectOutgoing(out);
  while (unfinished(*out)) {
    const int64_t now = nowMs();
    if (now >= deadline) {
      finish(out, SendStatus::NO_ANSWER);
      break;
    }
    int wait = static_cast<int>(std::min<int64_t>(deadline - now, 1000));
    if (out->state == OutState::CONNECTING) wait = std::min(wait, kConnectRetryMs);
    pumpOnce(deliver, wait);
  }
  s.sendDeadlines.pop_back();
  TRANSPORT_CHECK(std::any_of(s.outgoing.begin(), s.outgoing.end(),
                              [out](const auto& held) { return held.get() == out; }));
  const SendStatus status = out->status;
  if (result != nullptr) *result = status == SendStatus::HANDLED ? out->result : 0;
  out->waitedOn = false;
  sweep();
  return status;
}

}  // namespace

HWND allocateWindowHandle() {
  // Drawn at random, so that no other program can know a handle before it is in use and bind
  // its name first; one whose socket file exists (a squatter's, or left by a dead process) is
  // passed over, and bind() refuses the rare one taken between the look and the bind.
  State& s = state();
  for (int tries = 0; tries < 64; ++tries) {
    uint32_t handle = 0;
    if (getrandom(&handle, sizeof handle, 0) != sizeof handle) continue;
    struct stat info;
    if (handle == 0 ||
        std::find(s.allocated.begin(), s.allocated.end(), handle) != s.allocated.end() ||
        (!transportFolder().empty() &&
         lstat(pathInFolder(windowFile(handle)).c_str(), &info) == 0)) {
      continue;
    }
    s.allocated.push_back(handle);
    return handle;
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
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  // bind() fails when the name exists: a socket of another process is never replaced.
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(fd);
    return false;
  }
  const int claim = className != nullptr ? claimClass(className, window) : -1;
  if (listen(fd, 128) != 0 || (className != nullptr && claim < 0)) {
    if (claim >= 0) releaseClass(className, window, claim);
    close(fd);
    unlink(address.sun_path);
    return false;
  }
  chmod(address.sun_path, 0600);
  uint32_t watched = 0;
  watch(fd, kListenerKey | window, EPOLLIN, &watched);
  s.listeners.push_back(Listener{window, fd, className ? className : "", claim});
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
  uint32_t watched = EPOLLIN;
  int fd = closing.fd;
  closeWatched(&fd, &watched, forks + 1);
  // A message being handled (the one that closes the window, say) is still answered.
  for (const auto& in : s.incoming) {
    if (in->window == window && (in->state == InState::READING || in->state == InState::COMPLETE)) {
      dropIncoming(in.get());
    }
  }
  if (transportFolder().empty()) return;
  releaseClass(closing.className.c_str(), window, closing.claim);
  unlink(pathInFolder(windowFile(window)).c_str());
}

void transportHearOnlyFromAddressees(HWND window) {
  if (Listener* listener = findListener(window)) listener->onlyFromAddressees = true;
}

void transportServeWaiting(DeliverFn deliverFn, void* context) {
  if (deliverFn == nullptr) return;
  const Handler deliver{deliverFn, context};
  const int64_t end = nowMs() + kPassBudgetMs;
  for (;;) {
    // A peer in the middle of an exchange usually answers within microseconds: a short wait
    // for it finishes a frame in this pass instead of the next.
    const bool progress = pumpOnce(deliver, exchangeUnderWay() ? 1 : 0);
    if (!progress || nowMs() >= end) return;
  }
}

int transportWakeFd() {
  const State& s = state();
  return s.listeners.empty() && s.incoming.empty() && s.outgoing.empty() ? -1 : s.epollFd;
}

int transportTimerMs() {
  const State& s = state();
  const int64_t now = nowMs();
  int64_t next = INT64_MAX;
  for (const auto& in : s.incoming) {
    if (in->state == InState::READING) next = std::min(next, in->deadline);
    if (in->state == InState::COMPLETE && withinReplyBudget(*in)) next = now;
  }
  for (const auto& out : s.outgoing) {
    if (!unfinished(*out) || (out->state == OutState::QUEUED && !chainFree(*out))) continue;
    next = std::min(next, out->state == OutState::QUEUED       ? now
                          : out->state == OutState::CONNECTING ? out->retryAt
                                                               : out->deadline);
  }
  if (next == INT64_MAX) return -1;
  return static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(next - now, 1000)));
}

bool transportIsLocal(HWND window) {
  return window != 0 && findListener(window) != nullptr;
}

HWND transportFindClass(const char* className) {
  if (className == nullptr || !validClassName(className)) return 0;
  if (const Listener* local = findLocalClass(className)) return local->window;
  if (transportFolder().empty()) return 0;
  const HWND holder = readClassLink(className);
  return holder != 0 && probe(windowFile(holder)) == Liveness::LIVE ? holder : 0;
}

pid_t transportClassPid(const char* className) {
  if (className == nullptr || !validClassName(className)) return 0;
  const int fd = connectTo(classFile(className));
  pid_t pid = 0;
  if (fd >= 0 && !sameUser(fd, &pid)) pid = 0;
  if (fd >= 0) close(fd);
  return pid;
}

SendStatus transportSend(HWND target, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliverFn,
                         void* context, int timeoutMs, LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (target == 0) return SendStatus::NO_WINDOW;
  const Handler deliver{deliverFn, context};
  if (transportIsLocal(target)) {
    if (!deliver) return SendStatus::NO_ANSWER;
    const LRESULT handled = deliver(target, sender, data);
    if (result != nullptr) *result = handled;
    return SendStatus::HANDLED;
  }
  return sendAndWait(target, nullptr, sender, data, deliver, timeoutMs, result);
}

SendStatus transportSendToClass(const char* className, HWND sender, const COPYDATASTRUCT& data,
                                DeliverFn deliver, void* context, int timeoutMs, LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (className == nullptr || !validClassName(className)) return SendStatus::NO_WINDOW;
  if (const Listener* local = findLocalClass(className)) {
    return transportSend(local->window, sender, data, deliver, context, timeoutMs, result);
  }
  return sendAndWait(0, className, sender, data, Handler{deliver, context}, timeoutMs, result);
}

void transportPost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                   std::shared_ptr<const void> keepAlive, DeliverFn deliver, void* context) {
  if (target == 0 || data.cbData > kMaxPayload || (data.cbData > 0 && data.lpData == nullptr)) {
    return;
  }
  if (transportIsLocal(target)) {
    if (deliver != nullptr) deliver(context, target, sender, data);
    return;
  }
  if (transportFolder().empty()) return;
  State& s = state();
  Outgoing* out = newOutgoing(target, nullptr, sender, data);
  out->posted = true;
  s.replyBytes += out->length;
  if (keepAlive) {
    out->keepAlive = std::move(keepAlive);
  } else if (out->length > 0) {
    out->copy.assign(out->payload, out->payload + out->length);
    out->payload = out->copy.data();
  }
  if (Incoming* parent = s.handling != 0 ? findIncoming(s.handling) : nullptr) {
    out->parent = parent->id;
    ++parent->pendingPosts;
    if (!asksForReplies(parent->envelope.code)) s.replyingCodes.push_back(parent->envelope.code);
  }
  // Started by the loop's next turn, once the posts before it in its chain are done.
}

TransportState* transportNewState() {
  return registerState(new State());
}

void transportDeleteState(TransportState* s) {
  if (s == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(statesLock);
    allStates.erase(std::remove(allStates.begin(), allStates.end(), s), allStates.end());
  }
  {
    TransportUse use(s);
    while (!s->listeners.empty()) transportClose(s->listeners.back().window);
  }
  for (const auto& in : s->incoming) {
    if (in->fd >= 0) close(in->fd);
  }
  for (const auto& out : s->outgoing) {
    if (out->fd >= 0) close(out->fd);
  }
  if (s->epollFd >= 0) close(s->epollFd);
  delete s;
}

TransportUse::TransportUse(TransportState* state) : outer_(currentState) {
  std::lock_guard<std::mutex> hold(statesLock);
  ++state->users;
  currentState = state;
}

TransportUse::~TransportUse() {
  std::lock_guard<std::mutex> hold(statesLock);
  --currentState->users;
  currentState = outer_;
}
