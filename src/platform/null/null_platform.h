// The null backend: no display and no other process. Windows are records, GL calls succeed
// with handle values and draw nothing (no glyphs either), the info panel keeps the text it was
// given, and boxes, process starts, the semaphore and messages to other processes' windows are
// kept in memory. Unit tests link it in place of a real backend and look at what the
// application asked for here. Messages between this process's own windows go through the
// shared bookkeeping as usual.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// A message sent or posted to a window of another process.
struct NullSentMessage {
  HWND target;
  HWND sender;
  uintptr_t code;
  std::string payload;                    // a copy of the bytes
  const void* address;                    // where the payload was when it was sent
  int timeoutMs;                          // -1 for a post
  std::shared_ptr<const void> keepAlive;  // held as the transport would while it sends
};

struct NullMessageBox {
  std::string text;
  std::string caption;
  MessageBoxIcon icon;
};

// What the application asked of the info panel.
struct NullInfoPanel {
  bool open = false;
  std::string text;  // the text last set, as given
  int textsSet = 0;
};

// Forgets everything below: messages, boxes, the panel, peers, process starts, the semaphore, the
// clock. This process's own windows stay.
void nullReset();

// Messages to other processes' windows, oldest first. Erasing entries releases their payloads.
std::vector<NullSentMessage>& nullSentMessages();
const std::vector<NullMessageBox>& nullMessageBoxes();
int nullProcessesStarted();
const NullInfoPanel& nullInfoPanel();

// A window of another process that findWindow finds under className; it answers sends unless
// told otherwise. Returns its handle.
HWND nullAddPeer(const char* className);
void nullRemovePeer(HWND peer);
void nullSetPeerAnswers(HWND peer, bool answers);

// A semaphore made by other processes, holding count units of its maximum.
void nullMakeSemaphoreElsewhere(int32_t count, int32_t maximumCount);
// True between beginRoleDecision and endRoleDecision.
bool nullRoleDecisionHeld();

// The clock tickCount reads; it moves only when told.
void nullAdvanceTicks(uint32_t milliseconds);

// Changes a window's client size as a user would (0 x 0: minimised); no message is sent.
void nullResizeWindow(HWND window, int width, int height);
// An input message that a later pump pass returns.
void nullQueueInput(const MSG& msg);
