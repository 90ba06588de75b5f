// Instance messages between processes: the stand-in for SendMessageA + WM_COPYDATA between
// windows addressed by class name or handle. Unix-domain stream sockets in the runtime folder;
// no SDL, so outside programs (the client library) use it too.
//
// One event loop over every connection of the process: nothing waits on a single peer. A
// message arriving is read as its bytes come, within a deadline for the whole message; a
// message sent is written and answered as the peer takes it. So a peer that stalls, trickles
// or floods costs others nothing but its own slot, and every wait is bounded in total.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wire/envelope.h"
#include "platform/windows_vocabulary.h"

// The wire format (docs/protocol.md): a 16-byte envelope (wire/envelope.h), the payload,
// then an 8-byte reply carrying the handler's result as a little-endian signed 64-bit integer.
// One message per connection.
constexpr size_t kReplySize = 8;
// A message arriving must be whole within this time, however it trickles in.
constexpr int kReceiveLimitMs = 2000;
// A message posted in reply (a frame to a client) must be taken and answered within this time.
constexpr int kPostLimitMs = 2000;

// Handles one delivered message for a window of this process; its result goes back to the
// sender as the result of its send. context is the one given with the function to the call that
// serves the message, so that a handler needs no global to find what the message is for.
using DeliverFn = LRESULT (*)(void* context, HWND target, HWND sender, const COPYDATASTRUCT& data);

// The transport's bookkeeping: the windows, connections and messages under way of whoever uses
// it. A process has one, which every call uses unless the calling thread has made another one
// current (TransportUse). One state is never used by two threads at once: a program whose
// threads each talk to the bench on their own (one client object per thread) gives each of them
// a state of its own, and the threads then share nothing but the runtime folder.
struct TransportState;
TransportState* transportNewState();
// Closes what the state still has open. Not while it is current on any thread.
void transportDeleteState(TransportState* state);
// Makes a state current on this thread for its own life; the one before it is current again after.
class TransportUse {
 public:
  explicit TransportUse(TransportState* state);
  ~TransportUse();
  TransportUse(const TransportUse&) = delete;
  TransportUse& operator=(const TransportUse&) = delete;

 private:
  TransportState* outer_;
};

// How a send ended.
enum class SendStatus {
  HANDLED,    // the target's handler returned; the result is its result
  NO_WINDOW,  // no such window listens (none ever did, or it has gone)
  NO_ANSWER,  // the window exists but did not take or answer the message in time
  HUNG_UP,    // the window closed the connection without answering: not handled
};

// A handle that no socket in the runtime folder has, drawn at random: nobody can tell in advance
// which handle a window will have.
HWND allocateWindowHandle();

// Starts listening for messages to the window, under its handle and, when className is not
// null, under the class name. False when the handle's name or the class name is held by another
// live window, or the runtime folder cannot be used. Never waits on another process.
bool transportListen(HWND window, const char* className);

// From now on the window takes a message only from a process that this process is waiting on
// for an answer (the peer of a send under way, found by SO_PEERCRED); others are hung up on
// unanswered. A program's mailbox for replies uses it, so that no other process can slip it
// a frame of its own.
void transportHearOnlyFromAddressees(HWND window);

// Stops listening and drops the messages under way to the window; messages to it then fail as
// for a missing window.
void transportClose(HWND window);

// Moves every exchange of this process along without waiting on any peer: takes new
// connections, reads what has arrived, hands each whole message to deliver and answers it,
// writes posted messages. Spends at most a few milliseconds.
void transportServeWaiting(DeliverFn deliver, void* context = nullptr);

// A descriptor that becomes readable when the transport has something to do (for callers that
// sleep until something happens); -1 when nothing listens or is under way.
int transportWakeFd();
// The longest a caller may sleep before the transport needs a pass (a retry or a deadline);
// -1 when it needs none.
int transportTimerMs();

// The live window of the class, looked up afresh; 0 when none. A stale name is left for the
// next window of the class to replace.
HWND transportFindClass(const char* className);
// The process whose window holds the class, 0 when none listens.
pid_t transportClassPid(const char* className);

// True when the window listens in this process.
bool transportIsLocal(HWND window);

// Sends one message and waits until the target's handler has returned, at most timeoutMs in
// all (less when a send this one is nested in must end sooner). While waiting, this process's
// own windows are served through deliver. *result (when given) receives the handler's result.
// A message whose sender gave up is never handled later: the receiver drops it.
SendStatus transportSend(HWND target, HWND sender, const COPYDATASTRUCT& data, DeliverFn deliver,
                         void* context, int timeoutMs, LRESULT* result = nullptr);
// The same to the window holding the class, with one connection instead of a lookup and a
// connection: the fast path for programs that fetch frames in a loop.
SendStatus transportSendToClass(const char* className, HWND sender, const COPYDATASTRUCT& data,
                                DeliverFn deliver, void* context, int timeoutMs,
                                LRESULT* result = nullptr);

// Sends without waiting. The payload must stay valid while keepAlive lives; without keepAlive
// it is copied. Called while a message is being handled, the message goes out after the ones
// posted before it in that handling, and the handled message is answered only once they have
// been answered or given up (each within kPostLimitMs); when one fails, the later ones are not
// sent, so a receiver gets all of them or a first part that ends at a message boundary.
void transportPost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                   std::shared_ptr<const void> keepAlive, DeliverFn deliver, void* context);
