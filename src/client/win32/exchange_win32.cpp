// The exchange over window messages: the mailbox is a message-only window of this program, whose
// handle goes in wParam of each WM_COPYDATA. A camera answers by sending its replies to that
// window while our SendMessageTimeoutA waits, and a thread waiting in that call handles the
// messages sent to its windows, so the replies arrive inside the send.
#include <windows.h>

#include "exchange.h"

namespace oculant {
namespace {

const char kMailboxClass[] = "oculant_client_mailbox";

// Where the replies of the send under way go: kept in the mailbox window's own data while the
// send waits, so that each mailbox (each client) has its own.
struct ReplyRoute {
  ReplyHandler onReply;
  void* context;
  HWND target;
};

LRESULT CALLBACK mailboxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  const auto* route = reinterpret_cast<const ReplyRoute*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  // A camera names itself in wParam; messages naming another window are not its replies.
  if (route != nullptr && route->onReply != nullptr && data != nullptr &&
      reinterpret_cast<HWND>(wParam) == route->target) {
    route->onReply(route->context, Reply{data->dwData, data->cbData, data->lpData});
  }
  return TRUE;
}

bool registerMailboxClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = mailboxProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kMailboxClass;
  return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class Win32Exchange : public Exchange {
 public:
  ~Win32Exchange() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  bool renew() override {
    // A destroyed window's handle is dead: a late reply to it fails at its sender at once.
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = CreateWindowExA(0, kMailboxClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    return window_ != nullptr;
  }

  const std::string& location() const override { return noFolder_; }

  bool windowExists(const char* className) override {
    return FindWindowExA(nullptr, nullptr, className, nullptr) != nullptr;
  }

  Delivery send(const char* className, uintptr_t code, uint32_t length, const void* payload,
                ReplyHandler onReply, void* context, int timeoutMs) override {
    const HWND target = FindWindowExA(nullptr, nullptr, className, nullptr);
    if (target == nullptr) return Delivery::NO_WINDOW;
    COPYDATASTRUCT data = {code, length, const_cast<void*>(payload)};
    DWORD_PTR result = 0;
    ReplyRoute route = {onReply, context, target};
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&route));
    // SMTO_NORMAL, not SMTO_BLOCK: the replies are sent messages that must get through while
    // this call waits. SMTO_ABORTIFHUNG: a window the system sees as hung fails at once instead
    // of holding the caller for the whole time-out.
    SetLastError(ERROR_SUCCESS);
    const LRESULT sent = SendMessageTimeoutA(
        target, WM_COPYDATA, reinterpret_cast<WPARAM>(window_), reinterpret_cast<LPARAM>(&data),
        SMTO_NORMAL | SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &result);
    const DWORD error = GetLastError();
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    if (sent != 0) return Delivery::HANDLED;
    // The window closed between the lookup and the send.
    if (error == ERROR_INVALID_WINDOW_HANDLE) return Delivery::NO_WINDOW;
    return Delivery::NO_ANSWER;
  }

 private:
  HWND window_ = nullptr;
  const std::string noFolder_;
};

}  // namespace

std::unique_ptr<Exchange> Exchange::open(std::string* error) {
  auto exchange = std::make_unique<Win32Exchange>();
  if (!registerMailboxClass() || !exchange->renew()) {
    *error = "cannot make a message window for the replies (error " +
             std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  return exchange;
}

}  // namespace oculant
