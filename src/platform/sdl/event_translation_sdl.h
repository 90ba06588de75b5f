// Turns one SDL event into the Windows message that the window procedure expects. Kept apart
// from the pump so that tests can feed it SDL_Event values.
#pragma once

#include <SDL.h>

#include "platform/windows_vocabulary.h"

// What the translation needs besides the event itself, sampled by the pump.
struct EventContext {
  HWND window;      // the window the event belongs to; 0 gives no message
  int clientWidth;  // for telling whether the pointer is over the window
  int clientHeight;
  int clientScreenX;  // where the client area sits on the screen (wheel messages)
  int clientScreenY;
  Uint32 mouseButtons;   // SDL_GetMouseState's button mask
  Uint16 keyModifiers;   // SDL_GetModState
  bool focusLossQueued;  // a FOCUS_LOST for this window waits in the queue
};

// Windows virtual-key code of an SDL key (either Shift is VK_SHIFT, either Ctrl VK_CONTROL).
// Keys without a code of their own give 0xFF.
WPARAM virtualKeyOf(SDL_Keycode key);

// The MK_* flags of a mouse message: the buttons held and the Shift and Ctrl keys.
WPARAM mouseKeyFlags(Uint32 mouseButtons, Uint16 keyModifiers);

// Fills message and returns true when the event means a window message; false for events
// that mean none (other windows, pointer outside the client area, key-ups caused by focus
// loss, SDL's own bookkeeping). F10, Alt and keys pressed with Alt give WM_SYSKEYDOWN and
// WM_SYSKEYUP, so the translation remembers whether Alt was tapped on its own.
bool translateSdlEvent(const SDL_Event& event, const EventContext& context, MSG* message);
