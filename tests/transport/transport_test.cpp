// The POSIX transport between processes, and the private runtime folder its sockets live in.
#include "platform/posix/transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/runtime_dir.h"
#include "raw_peer.h"
#include "test_bench.h"

// Set in a process that is to stop just before it removes the class link "class.<name>": the
// moment at which a clean-up has decided a name is stale and not yet acted on it.
static const char* stopBeforeUnlinking = nullptr;

// Every unlink of this test program passes here, the transport's included.
extern "C" int unlink(const char* path) {
  if (stopBeforeUnlinking != nullptr) {
    const std::string link = std::string("/class.") + stopBeforeUnlinking;
    const size_t length = std::strlen(path);
    if (length >= link.size() && link == path + length - link.size()) raise(SIGSTOP);
  }
  return unlinkat(AT_FDCWD, path, 0);
}

namespace {

constexpr uintptr_t CODE_SUM = 10;       // result: byte sum of the payload + 1000 * length
constexpr uintptr_t CODE_CALLBACK = 20;  // the peer sends CODE_PING back; result = its result + 1
constexpr uintptr_t CODE_PING = 30;
constexpr uintptr_t CODE_STOP = 99;
constexpr uintptr_t CODE_POST_KEPT = 40;  // the peer posts its kept buffer back to the sender
constexpr uintptr_t CODE_REPLACE = 50;    // the peer replaces its kept buffer with other bytes
constexpr uintptr_t CODE_COUNT = 60;      // result: how many messages the peer has handled
constexpr uintptr_t CODE_POST_BACK = 90;  // the peer posts a short message to the sender
constexpr size_t kKeptBytes = 4u << 20;

volatile bool peerStop = false;
std::shared_ptr<std::vector<char>> kept;
int handled = 0;

LRESULT sendTo(HWND target, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliver) {
  LRESULT result = 0;
  transportSend(target, sender, data, deliver, nullptr, 10000, &result);
  return result;
}

LRESULT peerDeliver(void*, HWND target, HWND sender, const COPYDATASTRUCT& data) {
  ++handled;
  switch (data.dwData) {
    case CODE_POST_KEPT: {
      if (!kept) kept = std::make_shared<std::vector<char>>(kKeptBytes, 'a');
      const COPYDATASTRUCT reply = {CODE_PING, uint32_t(kept->size()), kept->data()};
      transportPost(sender, target, reply, kept, peerDeliver, nullptr);
      return 0;
    }
    case CODE_REPLACE:
      kept = std::make_shared<std::vector<char>>(kKeptBytes, 'b');
      return 0;
    case CODE_COUNT:
      return handled;
    case CODE_POST_BACK: {
      const COPYDATASTRUCT reply = {CODE_PING, 4, "back"};
      transportPost(sender, target, reply, nullptr, peerDeliver, nullptr);
      return 0;
    }
    case CODE_SUM: {
      LRESULT sum = 1000 * static_cast<LRESULT>(data.cbData);
      for (uint32_t i = 0; i < data.cbData; ++i) sum += static_cast<const uint8_t*>(data.lpData)[i];
      return sum;
    }
    case CODE_CALLBACK: {
      const char text[] = "ping";
      const COPYDATASTRUCT ping = {CODE_PING, sizeof text, text};
      return sendTo(sender, target, ping, peerDeliver) + 1;
    }
    case CODE_STOP:
      peerStop = true;
      return 7;
    default:
      return -5;  // unknown codes are answered too; the transport never interprets them
  }
}

// A peer process listening under className that answers until told to stop.
pid_t startPeer(const char* className) {
  return spawnPeer([className] {
    const HWND window = allocateWindowHandle();
    if (!transportListen(window, className)) return 3;
    serveUntil(peerStop, peerDeliver);
    transportClose(window);
    return 0;
  });
}

std::vector<std::string> received;
LRESULT recordDeliver(void*, HWND, HWND, const COPYDATASTRUCT& data) {
  received.push_back(std::to_string(data.dwData) + ":" +
                     std::string(static_cast<const char*>(data.lpData), data.cbData));
  return 41;
}

struct Answer {
  SendStatus status;
  LRESULT result;  // 0 unless handled
};

// Sends code with payload to the window of className, serving replies to sender through
// recordDeliver meanwhile.
Answer ask(const char* className, uintptr_t code, const std::string& payload = "",
           int timeoutMs = 5000, HWND sender = 0) {
  const COPYDATASTRUCT data = {code, uint32_t(payload.size()), payload.data()};
  Answer answer = {SendStatus::NO_WINDOW, 0};
  answer.status = transportSendToClass(className, sender, data, recordDeliver, nullptr, timeoutMs,
                                       &answer.result);
  return answer;
}

LRESULT sendSum(const char* className, const std::string& payload) {
  return ask(className, CODE_SUM, payload, 10000).result;
}

// A well-formed envelope as the wire format lays it out.
std::string envelope(uint32_t code, uint32_t sender, uint32_t length) {
  unsigned char bytes[16];
  writeEnvelope(bytes, code, sender, length);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

// True when the peer hung up on the connection, within 10 s, without sending a reply.
bool droppedWithoutReply(int fd) {
  pollfd ready = {fd, POLLIN, 0};
  char byte;
  return poll(&ready, 1, 10000) == 1 && recv(fd, &byte, 1, 0) <= 0;
}

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override { received.clear(); }
  // A peer under className, once it listens.
  pid_t listeningPeer(const char* className = "peer") {
    const pid_t peer = startPeer(className);
    EXPECT_TRUE(waitForClass(className));
    return peer;
  }
  // A window of this process that takes replies, without a class.
  HWND ownWindow() {
    const HWND own = allocateWindowHandle();
    EXPECT_TRUE(transportListen(own, nullptr));
    return own;
  }
  // count connections to the peer, each with a message of the code from the sender.
  std::vector<int> rawRequests(int count, uint32_t code, uint32_t sender) {
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
      fds.push_back(connectRaw(dir.path() + "/class.peer"));
      EXPECT_TRUE(sendMessage(fds.back(), code, sender)) << i;
    }
    return fds;
  }
  PrivateRuntimeDir dir;
};

TEST_F(TransportTest, DeliversSynchronouslyServesOwnWindowsMeanwhileAndMissesSilently) {
  const pid_t peer = listeningPeer();
  EXPECT_EQ(sendSum("peer", "abc"), 3000 + 'a' + 'b' + 'c');
  // Addressed by handle, found by class: the same window. Megabytes arrive whole.
  const COPYDATASTRUCT data = {CODE_SUM, 1, "\x05"};
  EXPECT_EQ(sendTo(transportFindClass("peer"), 0, data, nullptr), 1005);
  EXPECT_EQ(sendSum("peer", std::string(8u << 20, '\x01')), 1001 * LRESULT(8u << 20));

  // The peer sends back to our window before it answers: we serve it while we wait.
  const HWND own = ownWindow();
  EXPECT_EQ(ask("peer", CODE_CALLBACK, "", 10000, own).result, 42);
  EXPECT_EQ(received, std::vector<std::string>{"30:ping" + std::string(1, '\0')});
  transportClose(own);

  EXPECT_EQ(ask("peer", CODE_STOP).result, 7);
  EXPECT_EQ(reapPeer(peer, false), 0);
  EXPECT_EQ(ask("peer", CODE_SUM, "x").status, SendStatus::NO_WINDOW);
  EXPECT_EQ(sendTo(12345, 0, data, recordDeliver), 0);
  EXPECT_FALSE(transportListen(allocateWindowHandle(), "a/b")) << "a name outside the folder";
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(TransportTest, BadInputLeavesTheListenerAliveAndAnswering) {
  const pid_t peer = listeningPeer();
  const auto sendRaw = [&](const std::string& bytes) {
    const int fd = connectRaw(dir.path() + "/class.peer");
    EXPECT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    return fd;
  };
  // Garbage, a truncated envelope, a wrong magic, an oversized length and a peer that stalls
  // mid-message: each dropped unanswered, the connection left open by the sender.
  for (const std::string& bytes :
       {std::string("GET / HTTP/1.0\r\n\r\n"), envelope(CODE_SUM, 0, 4).substr(0, 9),
        "XXXX" + envelope(CODE_SUM, 0, 0).substr(4), envelope(CODE_SUM, 0, 0xFFFFFFFF),
        envelope(CODE_SUM, 0, 8) + "abc"}) {
    const int fd = sendRaw(bytes);
    EXPECT_TRUE(droppedWithoutReply(fd));
    close(fd);
    EXPECT_EQ(sendSum("peer", "ok"), 2000 + 'o' + 'k');
  }
  // An unknown code is delivered and answered like any other; a well-formed raw envelope
  // gets its reply as eight little-endian bytes.
  const int fd = sendRaw(envelope(4242, 0, 0));
  int64_t result = 0;
  EXPECT_EQ(readUpTo(fd, &result, sizeof result), 8u);
  EXPECT_EQ(result, -5);
  close(fd);
  EXPECT_EQ(sendSum("peer", "ok"), 2000 + 'o' + 'k');
  reapPeer(peer);
}

TEST_F(TransportTest, PeersOfAnotherUserAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  const uid_t other = 65534;
  const std::string otherDir = dir.path() + "/other";
  ASSERT_EQ(mkdir(otherDir.c_str(), 0700), 0);
  ASSERT_EQ(chown(dir.path().c_str(), other, other), 0);
  ASSERT_EQ(chown(otherDir.c_str(), other, other), 0);
  const auto asOther = [&](auto body) {
    return spawnPeer([&, body] {
      if (setgid(other) != 0 || setuid(other) != 0) return 4;
      setenv("OCULANT_RUNTIME_DIR", otherDir.c_str(), 1);
      return body();
    });
  };
  const pid_t peer = asOther([] { return reapPeer(startPeer("peer"), false); });
  const std::string path = otherDir + "/class.peer";
  struct stat info;
  for (int i = 0; i < 2000 && stat(path.c_str(), &info) != 0; ++i) usleep(5000);

  // Root reaches the socket through the file system, but the peer hangs up on it.
  const int fd = connectRaw(path);
  ASSERT_GE(fd, 0);
  const std::string bytes = envelope(CODE_SUM, 0, 0);
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  EXPECT_TRUE(droppedWithoutReply(fd));
  close(fd);

  // The peer still answers its own user.
  EXPECT_EQ(
      reapPeer(asOther([] { return sendSum("peer", "ok") == 2000 + 'o' + 'k' ? 0 : 1; }), false),
      0);
  reapPeer(peer);
  chown(dir.path().c_str(), 0, 0);
}

TEST_F(TransportTest, APostedPayloadBelongsToItsSendAndLateMessagesAreDropped) {
  const pid_t peer = listeningPeer();
  // A raw mailbox that takes the posted message slowly: its first megabyte, then a pause in
  // which the peer replaces the buffer it posted from and answers others.
  RawMailbox mailbox(dir.path(), 1000);
  const int request = rawRequests(1, CODE_POST_KEPT, mailbox.handle())[0];
  const int posted = mailbox.accept();
  std::string bytes(16 + kKeptBytes, '\0');
  ASSERT_EQ(readUpTo(posted, bytes.data(), 16 + (1u << 20)), 16u + (1u << 20));
  EXPECT_EQ(ask("peer", CODE_REPLACE).status, SendStatus::HANDLED);
  const HWND own = ownWindow();
  EXPECT_EQ(ask("peer", CODE_POST_KEPT, "", 5000, own).status, SendStatus::HANDLED);
  EXPECT_EQ(received.back(), "30:" + std::string(kKeptBytes, 'b'));
  ASSERT_EQ(readUpTo(posted, bytes.data() + 16 + (1u << 20), kKeptBytes - (1u << 20)),
            kKeptBytes - (1u << 20));
  EXPECT_EQ(bytes.substr(16), std::string(kKeptBytes, 'a'));
  send(posted, "\0\0\0\0\0\0\0\0", 8, MSG_NOSIGNAL);
  int64_t result = -1;
  EXPECT_EQ(readUpTo(request, &result, 8), 8u) << "answered once its post was taken";
  for (int fd : {posted, request}) close(fd);

  // A stopped window is told apart from a missing one, within the time given; what its
  // sender gave up on is never handled once it runs again.
  const Answer before = ask("peer", CODE_COUNT);
  ASSERT_EQ(before.status, SendStatus::HANDLED);
  kill(peer, SIGSTOP);
  EXPECT_EQ(ask("peer", CODE_REPLACE, "", 300).status, SendStatus::NO_ANSWER);
  kill(peer, SIGCONT);
  const Answer after = ask("peer", CODE_COUNT);
  ASSERT_EQ(after.status, SendStatus::HANDLED);
  EXPECT_EQ(after.result, before.result + 1) << "only the count itself was handled";
  EXPECT_EQ(ask("nobody", CODE_COUNT).status, SendStatus::NO_WINDOW);
  transportClose(own);
  reapPeer(peer);
}

TEST_F(TransportTest, AStoppedHolderOfAFolderLockFreezesNobody) {
  // The lock file that claims and clean-ups once shared, held by a stopped process.
  const std::string lockPath = dir.path() + "/transport.lock";
  const pid_t holder = spawnStopped([&] {
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
    return fd >= 0 && flock(fd, LOCK_EX) == 0;
  });
  ASSERT_GT(holder, 0);
  alarm(20);  // a wait without a bound fails the test instead of hanging it
  const HWND window = allocateWindowHandle();
  EXPECT_TRUE(transportListen(window, "claimed"));
  EXPECT_EQ(transportFindClass("claimed"), window);
  transportClose(window);
  alarm(0);

  // Nor do replies to requesters that are gone (or never were) wait for it.
  const pid_t peer = listeningPeer();
  std::vector<int> requests;
  for (uint32_t missing = 1; missing <= 30; ++missing)
    requests.push_back(rawRequests(1, CODE_POST_BACK, missing)[0]);
  // Once the peer has begun to send the replies, thirty that each waited for the lock would
  // hold the next request up for 15 s.
  int64_t answer = -1;
  EXPECT_EQ(readUpTo(requests[0], &answer, sizeof answer, 20000), sizeof answer);
  const Answer counted = ask("peer", CODE_COUNT, "", 3000);
  EXPECT_EQ(counted.status, SendStatus::HANDLED);
  EXPECT_EQ(counted.result, 31);
  for (int fd : requests) close(fd);
  reapPeer(peer);
  reapPeer(holder);
}

// Requests from a requester whose mailbox never takes its replies.
TEST_F(TransportTest, RepliesInFlightStayWithinBudgetAndGiveWayWhenTheTableIsFull) {
  const pid_t peer = listeningPeer();
  // Of five, two are handled and the others wait for those replies to go. (What many large
  // replies cost a camera is measured on the real camera by the memory test.)
  RawMailbox slow(dir.path(), 1100);
  const LRESULT before = ask("peer", CODE_COUNT).result;
  std::vector<int> held = rawRequests(5, CODE_POST_KEPT, slow.handle());
  EXPECT_EQ(ask("peer", CODE_COUNT).result, before + 3) << "two requests and the count";
  // As many as a window takes at a time each hold their place while their replies wait; a
  // requester that takes its reply at once is served well before any of theirs is given up.
  for (int fd : rawRequests(256 - 5, CODE_POST_KEPT, slow.handle())) held.push_back(fd);
  const HWND own = ownWindow();
  EXPECT_EQ(ask("peer", CODE_POST_KEPT, "", kPostLimitMs / 2, own).status, SendStatus::HANDLED);
  EXPECT_EQ(received.size(), 1u);
  transportClose(own);
  for (int fd : held) close(fd);
  reapPeer(peer);
}

TEST_F(TransportTest, ANameClaimedByALiveWindowIsRemovedOnlyByIt) {
  // A window killed outright leaves its socket and class link behind.
  const pid_t peer = listeningPeer("cam");
  const HWND dead = transportFindClass("cam");
  reapPeer(peer);
  // A process that finds the stale name and stops as it is about to remove it...
  const pid_t cleaner = spawnPeer([] {
    stopBeforeUnlinking = "cam";
    transportFindClass("cam");
    ask("cam", CODE_SUM, "x", 1000);
    return 0;
  });
  int status = 0;
  ASSERT_EQ(waitpid(cleaner, &status, WUNTRACED), cleaner);
  // ...while the new window claims the name, then goes on.
  const HWND heir = allocateWindowHandle();
  EXPECT_TRUE(transportListen(heir, "cam"));
  if (WIFSTOPPED(status)) {
    kill(cleaner, SIGCONT);
    waitpid(cleaner, &status, 0);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  char target[64] = {};
  EXPECT_GT(readlink((dir.path() + "/class.cam").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), "window." + std::to_string(heir));
  EXPECT_EQ(transportFindClass("cam"), heir);
  struct stat info;
  EXPECT_NE(lstat((dir.path() + "/window." + std::to_string(dead)).c_str(), &info), 0)
      << "the heir removed the dead socket";

  // Another window cannot take the name from a live one, nor can a lookup clear it.
  const pid_t rival =
      spawnPeer([] { return transportListen(allocateWindowHandle(), "cam") ? 1 : 0; });
  EXPECT_EQ(reapPeer(rival, false), 0);
  EXPECT_EQ(reapPeer(spawnPeer([] { return transportFindClass("cam") != 0 ? 0 : 1; }), false), 0);
  transportClose(heir);
  EXPECT_NE(lstat((dir.path() + "/class.cam").c_str(), &info), 0) << "its window gave it up";
}

TEST_F(TransportTest, SquattedHandlesDoNotKeepAWindowFromListening) {
  // Sockets bound under every handle a process could predict for this one.
  rlimit files;
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  std::vector<std::unique_ptr<RawMailbox>> squatted;
  for (uint32_t n = 1; n <= 1023; ++n)
    squatted.push_back(std::make_unique<RawMailbox>(dir.path(), n));
  for (int window = 0; window < 3; ++window) {
    const HWND handle = allocateWindowHandle();
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(transportListen(handle, window == 0 ? "squatted" : nullptr)) << window;
  }
  EXPECT_NE(transportFindClass("squatted"), 0u);
}

mode_t modeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

// The folder comes from OCULANT_RUNTIME_DIR, else XDG_RUNTIME_DIR, else /tmp, and is made
// private; a folder others could enter or swap is refused, not repaired.
TEST(RuntimeDir, ChosenByEnvironmentMadePrivateAndRefusedWhenUnsafe) {
  PrivateRuntimeDir scratch;
  const std::string base = scratch.path();
  unsetenv("OCULANT_RUNTIME_DIR");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(runtimeDirectory(), "/tmp/oculant-" + std::to_string(geteuid()));
  setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), base + "/oculant");
  EXPECT_EQ(modeOf(base + "/oculant"), 0700u);
  unsetenv("XDG_RUNTIME_DIR");

  std::string error;
  ASSERT_EQ(mkdir((base + "/open").c_str(), 0700), 0);
  ASSERT_EQ(chmod((base + "/open").c_str(), 0755), 0);
  ASSERT_EQ(symlink(base.c_str(), (base + "/link").c_str()), 0);
  ASSERT_EQ(mkdir((base + "/foreign").c_str(), 0700), 0);
  const bool root = geteuid() == 0 && chown((base + "/foreign").c_str(), 65534, 65534) == 0;
  for (const char* unsafe : {"/open", "/link", "/missing/deeper", root ? "/foreign" : "/open"}) {
    error.clear();
    setenv("OCULANT_RUNTIME_DIR", (base + unsafe).c_str(), 1);
    EXPECT_EQ(runtimeDirectory(&error), "") << unsafe;
    EXPECT_FALSE(error.empty()) << unsafe;
  }
  EXPECT_EQ(modeOf(base + "/open"), 0755u);
  setenv("OCULANT_RUNTIME_DIR", base.c_str(), 1);
}

bool canBind(const std::string& path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

// The longest folder taken still holds the longest socket name; one character more is refused
// with the reason, before anything is created.
TEST(RuntimeDir, RefusedWhenTooLongForASocketName) {
  PrivateRuntimeDir scratch;
  const std::string base = scratch.path() + "/";
  const std::string longest = base + std::string(89 - base.size(), 'x');
  setenv("OCULANT_RUNTIME_DIR", longest.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), longest);
  EXPECT_TRUE(canBind(longest + "/window.4294967295"));

  const std::string tooLong = base + std::string(90 - base.size(), 'y');
  setenv("OCULANT_RUNTIME_DIR", tooLong.c_str(), 1);
  std::string error;
  EXPECT_EQ(runtimeDirectory(&error), "");
  EXPECT_EQ(error, tooLong + " is too long for a socket name (at most 89 characters)");
  EXPECT_NE(access(tooLong.c_str(), F_OK), 0);
  setenv("OCULANT_RUNTIME_DIR", scratch.path().c_str(), 1);
}

}  // namespace
