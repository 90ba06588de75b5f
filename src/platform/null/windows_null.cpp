// The null backend's windows and instance messages: records in memory, input from a queue,
// fake peers instead of other processes.
#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/null/null_platform.h"

struct NativeWindow {
  int width;
  int height;
};

namespace {

struct Peer {
  HWND handle;
  std::string className;
  bool answers;
};

struct Listener {
  HWND handle;
  std::string className;
};

std::deque<MSG> queuedInput;
std::vector<Peer> peers;
std::vector<Listener> listeners;
std::vector<NullSentMessage> sentMessages;
HWND lastHandle = 0x1000;

Peer* findPeer(HWND handle) {
  for (Peer& peer : peers) {
    if (peer.handle == handle) return &peer;
  }
  return nullptr;
}

void record(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
            std::shared_ptr<const void> keepAlive) {
  const char* bytes = static_cast<const char*>(data.lpData);
  sentMessages.push_back({target, sender, data.dwData,
                          bytes ? std::string(bytes, data.cbData) : std::string(), data.lpData,
                          timeoutMs, std::move(keepAlive)});
}

}  // namespace

void nullResetInstances() {
  queuedInput.clear();
  peers.clear();
  sentMessages.clear();
}

std::vector<NullSentMessage>& nullSentMessages() {
  return sentMessages;
}

HWND nullAddPeer(const char* className) {
  peers.push_back({++lastHandle, className, true});
  return lastHandle;
}

void nullRemovePeer(HWND peer) {
  peers.erase(std::remove_if(peers.begin(), peers.end(),
                             [peer](const Peer& p) { return p.handle == peer; }),
              peers.end());
}

void nullSetPeerAnswers(HWND peer, bool answers) {
  if (Peer* found = findPeer(peer)) found->answers = answers;
}

void nullResizeWindow(HWND window, int width, int height) {
  if (NativeWindow* native = nativeWindowOf(window)) *native = NativeWindow{width, height};
}

void nullQueueInput(const MSG& msg) {
  queuedInput.push_back(msg);
}

bool nativeStartDisplay(const char*) {
  return true;
}

// Without a window manager the client area is the whole outer size.
NativeWindow* nativeCreateWindow(const char*, int, int, int width, int height, const WindowIcon&) {
  return new NativeWindow{width, height};
}

void nativeShowWindow(NativeWindow*) {}

void nativeDestroyWindow(NativeWindow* window) {
  delete window;
}

void nativeClientSize(NativeWindow* window, int* width, int* height) {
  *width = window->width;
  *height = window->height;
}

void nativeSetClientSize(NativeWindow* window, int width, int height) {
  window->width = width;
  window->height = height;
}

InputTaken nativeTakeInput(MSG* msg) {
  if (queuedInput.empty()) return InputTaken::NONE;
  *msg = queuedInput.front();
  queuedInput.pop_front();
  return isWindow(msg->hwnd) ? InputTaken::MESSAGE : InputTaken::SWALLOWED;
}

// Nothing can arrive while the process sleeps, but the time asked for passes.
void nativeWait(int timeoutMs) {
  if (timeoutMs > 0) nullAdvanceTicks(static_cast<uint32_t>(timeoutMs));
}

HWND remoteAllocateHandle() {
  return ++lastHandle;
}

bool remoteListen(HWND window, const char* className) {
  for (const Listener& listener : listeners) {
    if (listener.className == className) return false;
  }
  for (const Peer& peer : peers) {
    if (peer.className == className) return false;
  }
  listeners.push_back({window, className});
  return true;
}

void remoteClose(HWND window) {
  listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                 [window](const Listener& l) { return l.handle == window; }),
                  listeners.end());
}

HWND remoteFindClass(const char* className) {
  for (const Peer& peer : peers) {
    if (peer.className == className) return peer.handle;
  }
  return 0;
}

void remoteServeWaiting() {}

bool remoteSend(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                LRESULT* result) {
  record(target, sender, data, timeoutMs, nullptr);
  if (result != nullptr) *result = 0;
  const Peer* peer = findPeer(target);
  return peer != nullptr && peer->answers;
}

void remotePost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                std::shared_ptr<const void> keepAlive) {
  record(target, sender, data, -1, std::move(keepAlive));
}
