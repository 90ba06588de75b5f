// The messages between the bench's instances and with outside programs: the sender to both
// cameras and the receiving side's handler. The codes and records are in wire/wire_format.h.
#pragma once

#include <cstdint>

#include "messaging/camera_links.h"  // sendToCameras, where the senders find it
#include "platform/windows_vocabulary.h"
#include "wire/wire_format.h"  // the codes and records the handlers speak

// Acts on one WM_COPYDATA message received by window, according to this instance's role.
// sender is the message's wParam: the window that replies go to. Always returns 0.
LRESULT handleInstanceMessage(HWND window, WPARAM sender, const COPYDATASTRUCT* data);

// What a quit message does to the window: the application closes it its own way, as it closes
// a window the user closed. Until a handler is set, quit messages are ignored.
void setQuitHandler(void (*closeWindow)(HWND window));
