// Instance messages between processes: the stand-in for SendMessageA + WM_COPYDATA between
// windows addressed by class name or handle. Unix-domain stream sockets in the runtime folder;
// no SDL, so outside programs (the client library) use it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/envelope.h"
#include "platform/win32.h"

// The wire format (docs/protocol.md): a 16-byte envelope (platform/envelope.h), the payload,
// then an 8-byte reply carrying the handler's result as a little-endian signed 64-bit integer.
// One message per connection.
constexpr size_t kReplySize = 8;
// How long a receiver waits for the next bytes of a message before it drops the connection.
constexpr int kReceiveStallMs = 200;
// How long a sender waits without any progress (bytes taken, reply, own message served)
// before it gives the target up and returns 0.
constexpr int kSendStallMs = 10000;

// Handles one delivered message for a window of this process; its result goes back to the
// sender as the result of its send.
using DeliverFn = LRESULT (*)(HWND target, HWND sender, const COPYDATASTRUCT& data);

// A handle no other live window of this machine has.
HWND allocateWindowHandle();

// Starts listening for messages to the window, under its handle and, when className is not
// null, under the class name. False when the class name is held by another live window or the
// runtime folder cannot be used.
bool transportListen(HWND window, const char* className);

// Stops listening; messages to the window then fail as for a missing window.
void transportClose(HWND window);

// Serves every message already waiting for this process's windows, each handed to deliver and
// acknowledged with its result. Never blocks on a peer for longer than a short time-out.
void transportServeWaiting(DeliverFn deliver);

// A descriptor that becomes readable when a message may be waiting (for callers that sleep
// until something happens); -1 when nothing listens.
int transportWakeFd();

// The live window of the class, looked up afresh; 0 when none. Stale sockets are removed.
HWND transportFindClass(const char* className);

// Like transportSend to transportFindClass(className), with one connection instead of two:
// the fast path for programs that fetch frames in a loop. *delivered, when given, tells
// whether a handler took the message (the result alone cannot, as handlers often return 0).
LRESULT transportSendToClass(const char* className, HWND sender, const COPYDATASTRUCT& data,
                             DeliverFn deliver, bool* delivered = nullptr);

// True when the window listens in this process.
bool transportIsLocal(HWND window);

// Sends one message and waits until the target's handler has returned. While waiting, messages
// for this process's own windows are served through deliver. Returns the handler's result, or
// 0 (silently) when the target does not exist or the connection fails.
LRESULT transportSend(HWND target, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliver);
