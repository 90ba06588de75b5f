// The exchange over the bench's socket transport: the mailbox is a handle listening in the
// runtime folder, and windows are found by their class's socket there.
#include "exchange.h"
#include "platform/posix/runtime_dir.h"
#include "platform/posix/transport.h"

namespace oculant {
namespace {

// The transport hands replies to a plain function; one send at a time per process.
ReplyHandler currentHandler = nullptr;

LRESULT deliverReply(HWND, HWND, const COPYDATASTRUCT& data) {
  if (currentHandler != nullptr) currentHandler(Reply{data.dwData, data.cbData, data.lpData});
  return 0;
}

class PosixExchange : public Exchange {
 public:
  explicit PosixExchange(std::string folder) : folder_(std::move(folder)) {}
  ~PosixExchange() override {
    if (window_ != 0) transportClose(window_);
  }

  bool renew() override {
    if (window_ != 0) transportClose(window_);
    // A handle taken between its draw and the bind costs another draw.
    for (int tries = 0; tries < 8; ++tries) {
      window_ = allocateWindowHandle();
      if (window_ != 0 && transportListen(window_, nullptr)) {
        // Replies are taken only from the camera asked, never from another process.
        transportHearOnlyFromAddressees(window_);
        return true;
      }
    }
    window_ = 0;
    return false;
  }

  const std::string& location() const override { return folder_; }

  bool windowExists(const char* className) override { return transportFindClass(className) != 0; }

  Delivery send(const char* className, uintptr_t code, uint32_t length, const void* payload,
                ReplyHandler onReply, int timeoutMs) override {
    const COPYDATASTRUCT data = {code, length, payload};
    currentHandler = onReply;
    const SendStatus status =
        transportSendToClass(className, window_, data, deliverReply, timeoutMs);
    currentHandler = nullptr;
    switch (status) {
      case SendStatus::HANDLED:
        return Delivery::HANDLED;
      case SendStatus::NO_WINDOW:
        return Delivery::NO_WINDOW;
      case SendStatus::HUNG_UP:
        return Delivery::HUNG_UP;
      default:
        return Delivery::NO_ANSWER;
    }
  }

 private:
  std::string folder_;
  HWND window_ = 0;
};

}  // namespace

std::unique_ptr<Exchange> Exchange::open(std::string* error) {
  std::string reason;
  std::string folder = runtimeDirectory(&reason);
  if (folder.empty()) {
    *error = "cannot use the runtime folder: " + reason;
    return nullptr;
  }
  auto exchange = std::make_unique<PosixExchange>(folder);
  if (!exchange->renew()) {
    *error = "cannot open a socket in the runtime folder " + folder;
    return nullptr;
  }
  return exchange;
}

}  // namespace oculant
