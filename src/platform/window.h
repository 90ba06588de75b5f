// Windows of the bench: one SDL window per process, addressed by class name and handle.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win32.h"

// The image a class gives its windows (the class icon): rows from the top, 0xAARRGGBB pixels.
struct WindowIcon {
  int width;
  int height;
  const uint32_t* pixels;
};

// Registers a window class for this process. False when SDL's video cannot start or the class
// is already registered here. The first class registered names the process's windows for the
// window manager (X11 WM_CLASS). The icon, when given, is copied.
bool registerWindowClass(const char* className, WNDPROC windowProc,
                         const WindowIcon* icon = nullptr);

// Creates the class's top-level window at (x, y) with the given outer size, able to hold a
// double-buffered GL context, hidden until showWindow. The window starts listening for
// instance messages under its class name and its handle, and its procedure receives WM_CREATE
// before this returns. Returns 0 when no window could be made.
HWND createWindow(const char* className, const char* title, int x, int y, int width, int height);

void showWindow(HWND window);

// True while the window exists and its destruction has not begun.
bool isWindow(HWND window);

// Sends WM_DESTROY to the window's procedure, stops listening and closes the window. Calling it
// again for a window whose destruction is under way or done does nothing.
void destroyWindow(HWND window);

// The default handling of every message: nothing, result 0.
LRESULT defWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The client area's size; false (and 0 x 0) for an unknown window. A minimised window has 0 x 0.
bool getClientRect(HWND window, int* width, int* height);

// The first live top-level window of the class on this bench, looked up afresh; 0 when none.
HWND findWindow(const char* className);

// One pass of the message pump: hands every instance message already waiting for this
// process's windows to their window procedure (WM_COPYDATA), then takes at most one input
// event and translates it. Returns true and fills msg when a message was taken; WM_QUIT is
// returned once postQuitMessage has been called. Never blocks.
bool peekMessage(MSG* msg);
LRESULT dispatchMessage(const MSG& msg);

// Serves the instance messages already waiting for this process's windows, as a pump pass
// does, without taking input: for modal waits (a message box) that must keep answering peers.
void serveInstanceMessages();

// How many input events the pump has taken so far, those the info panel took included: a
// change in the count means that the picture may have changed.
unsigned long inputEventsTaken();

// Sleeps until input or an instance message may be waiting for this process, or at most
// timeoutMs. Returns at once when something is already queued or a quit has been posted.
// Without an X connection to watch it waits no more than a millisecond, so input is never late.
void waitForMessage(int timeoutMs);
void postQuitMessage(int exitCode);

// SendMessageTimeoutA(target, WM_COPYDATA, sender, &data, ..., timeoutMs, &result): waits at
// most timeoutMs in all for the target's procedure. True when it handled the message (*result,
// when given, receives its result); false when no such window exists or it did not answer in
// time, and then the message is never handled later. While waiting, messages sent to this
// process's own windows are still served; a send to one's own window calls its procedure.
bool sendCopyDataTimeout(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                         LRESULT* result = nullptr);

// Sends without waiting, for replies made while handling a message: they go out in the order
// posted, and the message being handled is answered only once they have been taken. The
// payload must stay valid while keepAlive lives; without keepAlive it is copied.
void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> keepAlive = nullptr);
