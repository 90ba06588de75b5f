// What the shared bookkeeping (window_records.cpp) calls in a backend, and what it offers back.
// Internal to src/platform: the application sees only platform/platform.h.
#pragma once

#include <memory>

#include "platform/platform.h"

// A backend's own record of one window (an SDL window, a null record, ...).
struct NativeWindow;

// ---- Called by the bookkeeping; every backend defines these ----

// Starts the display for this process, once; the first class registered names its windows.
bool nativeStartDisplay(const char* firstClassName);

// Makes a hidden window at (x, y) with the given outer size and the class's icon (pixels null
// for none). Null when none can be made.
NativeWindow* nativeCreateWindow(const char* title, int x, int y, int width, int height,
                                 const WindowIcon& icon);
void nativeShowWindow(NativeWindow* window);
void nativeDestroyWindow(NativeWindow* window);
// The client area's size, 0 x 0 when minimised.
void nativeClientSize(NativeWindow* window, int* width, int* height);
// Gives the window a client area of width x height, its frame (if any) on top.
void nativeSetClientSize(NativeWindow* window, int width, int height);

// The input side of one pump pass.
enum class InputTaken {
  NONE,       // no input event was waiting
  SWALLOWED,  // an event was taken that means no window message (or belongs to the panel)
  MESSAGE,    // an event was taken and translated into *msg
};
InputTaken nativeTakeInput(MSG* msg);

// Sleeps at most timeoutMs until input or an instance message may be waiting.
void nativeWait(int timeoutMs);

// Instance messages to windows of other processes. Messages for this process's windows never
// get here: the bookkeeping hands them to the procedure itself.
HWND remoteAllocateHandle();                            // unique among live windows; 0: none
bool remoteListen(HWND window, const char* className);  // false: class taken or no channel
void remoteClose(HWND window);                          // messages to it now fail
HWND remoteFindClass(const char* className);            // a live window of another process
void remoteServeWaiting();                              // deliverToWindow for each arrived
bool remoteSend(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                LRESULT* result);
void remotePost(HWND target, HWND sender, const COPYDATASTRUCT& data,
                std::shared_ptr<const void> keepAlive);

// ---- Offered by the bookkeeping to backends ----

// Hands an instance message to the procedure of one of this process's windows.
LRESULT deliverToWindow(HWND target, HWND sender, const COPYDATASTRUCT& data);

// The backend's record of a live window (its destruction may have begun); null for none.
NativeWindow* nativeWindowOf(HWND window);
// The handle of a backend record; 0 before the window's record exists.
HWND windowOfNative(const NativeWindow* native);

// True between postQuitMessage and the pump pass that returns WM_QUIT: the process is ending.
bool quitPending();
