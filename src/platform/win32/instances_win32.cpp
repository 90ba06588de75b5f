// Instance messages on Windows: WM_COPYDATA sent between the top-level windows of one desktop.
// The system copies the payload into the receiving process and, while a thread waits in a
// send, hands it the messages other threads send to its own windows, so a requester blocked in
// its send still receives the replies its request causes.
#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/reply_chain_win32.h"

namespace {

// How long a reply made while handling a message may wait for its receiver.
constexpr UINT kReplyLimitMs = 2000;

// The receivers whose reply failed, for each message being handled, the innermost last.
std::vector<std::vector<HWND>> failedReceivers;

// Threads that left a reply untaken, and until when their windows get no more replies. A
// requester that gave up cannot be told from one still waiting here (unlike a socket's hang-up),
// so each one that does not take its reply costs this thread one bound, not one per request:
// a flood of requests given up holds others up no longer than a single late reply.
struct LateThread {
  DWORD thread;
  DWORD until;
};
std::vector<LateThread> lateThreads;

bool isLate(DWORD thread, DWORD now) {
  lateThreads.erase(std::remove_if(lateThreads.begin(), lateThreads.end(),
                                   [now](const LateThread& late) {
                                     return static_cast<LONG>(now - late.until) >= 0;
                                   }),
                    lateThreads.end());
  return std::any_of(lateThreads.begin(), lateThreads.end(),
                     [thread](const LateThread& late) { return late.thread == thread; });
}

// Not SMTO_BLOCK: a sender must keep serving what is sent to it while it waits. A receiver
// the system sees as hung fails at once instead of using up the time-out.
constexpr UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT;

}  // namespace

HWND findWindow(const char* className) {
  if (!className) return nullptr;
  return FindWindowExA(nullptr, nullptr, className, nullptr);
}

bool sendCopyDataTimeout(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                         LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (target == nullptr) return false;
  DWORD_PTR answer = 0;
  COPYDATASTRUCT copy = data;
  const LRESULT sent = SendMessageTimeoutA(
      target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&copy),
      kSendFlags, static_cast<UINT>(timeoutMs > 0 ? timeoutMs : 0), &answer);
  if (sent == 0) return false;
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return true;
}

void beginReplyChain() {
  failedReceivers.emplace_back();
}

void endReplyChain() {
  if (!failedReceivers.empty()) failedReceivers.pop_back();
}

// The reply is sent at once and waits for its receiver (within a bound), so replies arrive in
// the order made and all of them before the message being handled is answered. The payload is
// copied by the system during the send, so nothing needs to be kept alive after it.
void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> /*keepAlive*/) {
  if (data.cbData != 0 && data.lpData == nullptr) return;
  std::vector<HWND>* failed = failedReceivers.empty() ? nullptr : &failedReceivers.back();
  if (failed && std::find(failed->begin(), failed->end(), target) != failed->end()) return;
  const DWORD thread = GetWindowThreadProcessId(target, nullptr);
  const DWORD now = GetTickCount();
  if (thread != 0 && !isLate(thread, now) &&
      sendCopyDataTimeout(target, sender, data, kReplyLimitMs)) {
    return;
  }
  if (failed) failed->push_back(target);
  if (thread != 0 && !isLate(thread, now)) {
    lateThreads.push_back(LateThread{thread, GetTickCount() + kReplyLimitMs});
  }
}

void serveInstanceMessages() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

std::string benchLocation() {
  return "this desktop";
}
