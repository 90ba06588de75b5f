// The window procedure of the main window in every role: life cycle, size and instance
// messages. Every message also goes to the default procedure, whose result is returned.
#pragma once

#include "platform/windows_vocabulary.h"

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
