// The camera's side of the ground-truth messages (messaging/extension_messages.h).
#pragma once

#include "platform/windows_vocabulary.h"

struct Instance;

// Acts on one extension message received by window; sender is the window replies go to. The
// scene window ignores them all. Always returns 0.
LRESULT handleExtensionMessage(Instance& instance, HWND window, WPARAM sender,
                               const COPYDATASTRUCT* data);
