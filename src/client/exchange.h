// How the client library reaches the bench's windows: one message out to the window of a class,
// the replies it brings handed over while the send waits. This is the only part of the library
// that differs between platforms. Internal to the client library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace oculant {

// One message as it arrived: its code, and its payload, valid only during the handler's call.
struct Reply {
  uintptr_t code;
  uint32_t length;
  const void* data;
};
// Takes one reply for the request it was given with; context is the request's own record.
using ReplyHandler = void (*)(void* context, const Reply& reply);

enum class Delivery {
  HANDLED,    // the window's handler returned
  NO_WINDOW,  // no window of that class runs
  NO_ANSWER,  // it runs but did not handle the message in time
  HUNG_UP,    // it closed the connection without handling the message (it may have ended)
};

// One exchange is used by one thread at a time; different exchanges may be used on different
// threads at once.
class Exchange {
 public:
  // This program's mailbox for the replies; null, with *error set, when it cannot be opened.
  static std::unique_ptr<Exchange> open(std::string* error);
  virtual ~Exchange() = default;

  // Where the bench's windows are looked for, for messages; empty when the platform finds
  // windows by class alone.
  virtual const std::string& location() const = 0;
  virtual bool windowExists(const char* className) = 0;
  // Sends the message with this mailbox as the sender and waits at most timeoutMs for the
  // window to handle it; the replies that come meanwhile go to onReply with context (none
  // are taken when onReply is null).
  virtual Delivery send(const char* className, uintptr_t code, uint32_t length, const void* payload,
                        ReplyHandler onReply, void* context, int timeoutMs) = 0;
  // Swaps the mailbox for a fresh one, so that late replies to a send that timed out go
  // nowhere. False when no new one could be opened.
  virtual bool renew() = 0;
};

}  // namespace oculant
