// Instance messages on Windows: WM_COPYDATA sent between the top-level windows of one desktop.
// The system copies the payload into the receiving process and, while a thread waits in a
// send, hands it the messages other threads send to its own windows, so a requester blocked in
// its send still receives the replies its request causes.
#include "platform/platform.h"

namespace {

// How long a reply made while handling a message may wait for its receiver.
constexpr UINT kReplyLimitMs = 2000;

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

// The reply is sent at once and waits for its receiver (within a bound), so replies arrive in
// the order made and all of them before the message being handled is answered. The payload is
// copied by the system during the send, so nothing needs to be kept alive after it.
void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> /*keepAlive*/) {
  if (data.cbData != 0 && data.lpData == nullptr) return;
  sendCopyDataTimeout(target, sender, data, kReplyLimitMs);
}

void serveInstanceMessages() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

std::string benchLocation() {
  return "this desktop";
}
