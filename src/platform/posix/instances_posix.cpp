// Instance messages to other processes' windows over the sockets transport, and the runtime
// folder as the name of the bench.
#include "platform/backend.h"
#include "platform/posix/runtime_dir.h"
#include "platform/posix/transport.h"

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
  transportServeWaiting(deliverToWindow);
}

bool remoteSend(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                LRESULT* result) {
  return transportSend(target, sender, data, deliverToWindow, timeoutMs, result) ==
         SendStatus::HANDLED;
}

void remotePost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                std::shared_ptr<const void> keepAlive) {
  transportPost(target, sender, data, std::move(keepAlive), deliverToWindow);
}

std::string benchLocation() {
  return runtimeDirectory();
}
