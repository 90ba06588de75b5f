// The messages between the bench's instances and with outside programs: the sender to both
// cameras and the receiving side's handler. The codes and records are in wire/wire_format.h.
#pragma once

#include <cstdint>

#include "messaging/camera_links.h"  // sendToCameras, where the senders find it
#include "platform/windows_vocabulary.h"
#include "wire/wire_format.h"  // the codes and records the handlers speak

struct Instance;

// Acts on one WM_COPYDATA message received by window, according to the instance's role; a quit
// goes to the instance's quitHandler. sender is the message's wParam: the window that replies
// go to. Always returns 0.
LRESULT handleInstanceMessage(Instance& instance, HWND window, WPARAM sender,
                              const COPYDATASTRUCT* data);
