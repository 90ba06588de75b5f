// The exchange over the bench's socket transport: the mailbox is a handle listening in the
// runtime folder, and windows are found by their class's socket there.
#include "exchange.h"
#include "platform/posix/runtime_dir.h"
#include "platform/posix/transport.h"

namespace oculant {
namespace {

// Where the replies of the send under way go.
struct ReplyRoute {
  ReplyHandler onReply;
  void* context;
};

LRESULT deliverReply(void* route, HWND, HWND, const COPYDATASTRUCT& data) {
  const ReplyRoute& to = *static_cast<const ReplyRoute*>(route);
  if (to.onReply != nullptr) to.onReply(to.context, Reply{data.dwData, data.cbData, data.lpData});
  return 0;
}

// Each exchange has a transport state of its own, made current around its calls: exchanges on
// different threads then share no bookkeeping, and an exchange may move from thread to thread.
class PosixExchange : public Exchange {
 public:
  explicit PosixExchange(std::string folder)
      : folder_(std::move(folder)), transport_(transportNewState()) {}
  ~PosixExchange() override {
    // Closes the mailbox too.
    transportDeleteState(transport_);
  }

  bool renew() override {
    TransportUse use(transport_);
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

  bool windowExists(const char* className) override {
    TransportUse use(transport_);
    return transportFindClass(className) != 0;
  }

  Delivery send(const char* className, uintptr_t code, uint32_t length, const void* payload,
                ReplyHandler onReply, void* context, int timeoutMs) override {
    TransportUse use(transport_);
    const COPYDATASTRUCT data = {code, length, payload};
    ReplyRoute route = {onReply, context};
    const SendStatus status =
        transportSendToClass(className, window_, data, deliverReply, &route, timeoutMs);
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
  TransportState* transport_;
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
