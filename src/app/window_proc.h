// The window procedure of the main window in every role: life cycle, size and instance
// messages. Every message also goes to the default procedure, whose result is returned.
#pragma once

#include "platform/windows_vocabulary.h"

struct Instance;

// What the instance's window does with one message.
LRESULT instanceWindowProc(Instance& instance, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);

// The procedure to register for the window class: the platform hands a window procedure the
// message alone, so the one record it serves is named first, before the window is created.
void bindWindowInstance(Instance& instance);
LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
