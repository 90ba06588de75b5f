// What the main window does when it is created, closed and destroyed, in every role.
#pragma once

#include "app/shell_rules.h"  // onDestroy, startCameraInstances
#include "platform/windows_vocabulary.h"

// Configuration, the initial rig pose, GL set-up and textures in every role; the scene role then
// starts the missing camera instances and opens the info panel. Quit messages close the window
// with onClose from here on. Returns 0, so creation goes on.
int onCreate(Instance& instance, HWND window);

// Tears the window's GL context down and destroys the window: for WM_CLOSE and quit messages.
void onClose(HWND window);
