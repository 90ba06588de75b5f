// What the main window does when it is created, closed and destroyed, in every role.
#pragma once

#include "platform/win32.h"

// The window created for this process's role; the sender of the rig position messages.
extern HWND mainWindow;
// The window whose destruction onDestroy handled last, 0 before: tells a window closed by a quit
// while it was being created (an error box of the set-up was up) from one never made.
extern HWND destroyedWindow;

// Configuration, the initial rig pose, GL set-up and textures in every role; the scene role then
// starts the missing camera instances and opens the info panel. Quit messages close the window
// with onClose from here on. Returns 0, so creation goes on.
int onCreate(HWND window);

// Tears the window's GL context down and destroys the window: for WM_CLOSE and quit messages.
void onClose(HWND window);

// Gives back this instance's unit of the semaphore, tells both cameras to quit, ends the loop.
void onDestroy(HWND window);

// Starts the executable once for each camera window that is missing: twice for a fresh bench,
// where the order in which they decide their roles makes one the left camera and the other the
// right one.
void startCameraInstances();
