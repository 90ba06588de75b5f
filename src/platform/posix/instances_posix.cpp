// Instance messages to other processes' windows over the sockets transport, and the runtime
// folder as the name of the bench.
#include "platform/backend.h"
#include "platform/posix/runtime_dir.h"
#include "platform/posix/transport.h"

namespace {

// The bench's windows keep their state in the window records, so the transport's context is not
// needed to find it.
LRESULT deliverToOwnWindow(void*, HWND target, HWND sender, const COPYDATASTRUCT& data) {
  return deliverToWindow(target, sender, data);
}

}  // namespace

HWND remoteAllocateHandle() {
  return allocateWindowHandle();
}

bool remoteListen(HWND window, const char* className) {
  return transportListen(window, className);
}

void remoteClose(HWND window) {
  transportClose(window);
}

HWND remoteFindClass(const char* className) {
  return transportFindClass(className);
}

void remoteServeWaiting() {
  transportServeWaiting(deliverToOwnWindow);
}

bool remoteSend(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                LRESULT* result) {
  return transportSend(target, sender, data, deliverToOwnWindow, nullptr, timeoutMs, result) ==
         SendStatus::HANDLED;
}

void remotePost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                std::shared_ptr<const void> keepAlive) {
  transportPost(target, sender, data, std::move(keepAlive), deliverToOwnWindow, nullptr);
}

std::string benchLocation() {
  return runtimeDirectory();
}
