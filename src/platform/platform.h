// What a platform backend provides: everything the application asks of the operating system.
// The application speaks the Windows vocabulary of platform/windows_vocabulary.h; a backend makes
// it true on its system, and each call below says what it must do. Backends: sdl/ + posix/ (the
// bench on Linux), win32/ (the bench on Windows, on the system's own windows and messages) and
// null/ (no display, for unit tests). The SDL and null backends link the shared bookkeeping
// (window_records.cpp: classes, window records, message order, quit, local delivery) and supply
// the rest; on Windows the system keeps those records, so win32/ provides the whole contract.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_vocabulary.h"

// ---- Window classes and windows -------------------------------------------------------------

// The image a class gives its windows (the class icon): rows from the top, 0xAARRGGBB pixels.
struct WindowIcon {
  int width;
  int height;
  const uint32_t* pixels;
};

// Registers a window class for this process. False when the display cannot start or the class
// is already registered here. The first class registered names the process's windows for the
// window manager. The icon, when given, is copied.
bool registerWindowClass(const char* className, WNDPROC windowProc,
                         const WindowIcon* icon = nullptr);

// Creates the class's top-level window at (x, y) with the given outer size (the window
// manager's frame included), able to hold a double-buffered GL context, hidden until
// showWindow. The window listens for instance messages under its class name and its handle,
// and its procedure receives WM_CREATE (-1 refuses the window) and then the first WM_SIZE
// before this returns. Returns 0 when no window could be made.
HWND createWindow(const char* className, const char* title, int x, int y, int width, int height);

void showWindow(HWND window);

// True while the window exists and its destruction has not begun.
bool isWindow(HWND window);

// Sends WM_DESTROY to the window's procedure (the window stays findable meanwhile), stops
// listening and closes the window. Does nothing for a window whose destruction has begun.
void destroyWindow(HWND window);

// The default handling of every message: nothing, result 0.
LRESULT defWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The client area's size; false (and 0 x 0) for an unknown window. A minimised window has 0 x 0.
bool getClientRect(HWND window, int* width, int* height);

// Resizes the window so that its client area is width x height, the window manager's frame
// coming on top (AdjustWindowRectEx and SetWindowPos); a user may resize it later. Called while
// the window is being created, the first WM_SIZE already has the new size. False for an
// unknown window.
bool setClientSize(HWND window, int width, int height);

// ---- The message pump -----------------------------------------------------------------------

// One pass: hands every instance message already waiting for this process's windows to their
// procedure (WM_COPYDATA), then takes at most one input event and translates it. True and msg
// filled when a message was taken; WM_QUIT is returned once after postQuitMessage. Never blocks.
bool peekMessage(MSG* msg);
LRESULT dispatchMessage(const MSG& msg);

// Sleeps until input or an instance message may be waiting, or at most timeoutMs. Returns at
// once when something is already queued or a quit has been posted; input is never late.
void waitForMessage(int timeoutMs);

// The next pass of the pump returns WM_QUIT with exitCode as its wParam.
void postQuitMessage(int exitCode);

// How many input events the pump has taken so far, those the panel took included: a change in
// the count means that the picture may have changed.
unsigned long inputEventsTaken();

// ---- Instance messages ----------------------------------------------------------------------

// The first live top-level window of the class on this bench (this process's or another's),
// looked up afresh; 0 when none.
HWND findWindow(const char* className);

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

// Serves the instance messages already waiting for this process's windows, as a pump pass
// does, without taking input: for modal waits (a message box) that must keep answering peers.
void serveInstanceMessages();

// ---- GL contexts (GetDC, the pixel format, the WGL context calls, SwapBuffers) -------------

#ifndef _WIN32
using HDC = uintptr_t;    // the window that a context draws into; 0 means none
using HGLRC = uintptr_t;  // a GL context; 0 means none
#endif

struct PixelFormatRequest {
  int colorBits;  // red + green + blue bits asked for
  int depthBits;
  bool doubleBuffered;
};

// 0 for an unknown window.
HDC getDC(HWND window);
void releaseDC(HWND window, HDC deviceContext);
// Gives the window a pixel format at least as good as the request. False when none can be had.
bool setPixelFormat(HDC deviceContext, const PixelFormatRequest& request);
// 0 when the window can hold no context.
HGLRC createGlContext(HDC deviceContext);
// Makes the context current on this thread; a 0 context makes none current.
bool makeCurrent(HDC deviceContext, HGLRC renderContext);
void deleteGlContext(HGLRC renderContext);
void swapBuffers(HDC deviceContext);

// ---- Scene files -----------------------------------------------------------------------------

enum class FileReadStatus { OK, ABSENT, REFUSED };

// Reads the regular file at path whole, at most maxBytes of it (*truncated, when given, tells
// whether the file holds more). The open never blocks (a FIFO without a writer) and only a
// regular file is read. ABSENT: no such file, passed over in silence. REFUSED: a FIFO, device,
// folder or unreadable file, named on stderr after the program's name with the reason
// ("oculant: NAME is a FIFO, not a regular file: ignored",
// "oculant: NAME cannot be opened (REASON): ignored").
FileReadStatus readSceneFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes,
                             bool* truncated = nullptr, const char* program = "oculant");

// Replaces the file at path with the concatenated parts, whole or not at all: written to a new
// file in the same folder, flushed, then renamed over the name. Whatever stood at the name (a
// link, a FIFO, a folder) is never opened or written through. False with *reason (the system's
// message, e.g. "Is a directory", "No space left on device") when it could not be done; the
// name then keeps what it had and no temporary file remains.
struct FilePart {
  const void* data;
  size_t size;
};
bool replaceFile(const char* path, const FilePart* parts, int partCount, std::string* reason);

// strtod in the C locale whatever the process's locale (numbers in scene files).
double parseNumberC(const char* text, char** end);

// ---- Text glyphs (wglUseFontBitmapsA) -------------------------------------------------------

// Fills count display lists from listBase with the glyphs of codes firstChar.. in bold
// "Courier New" at 24 px (or the nearest match), each drawing with glBitmap and advancing the
// raster position. The window's GL context must be current. False leaves the lists empty.
bool makeGlyphLists(HDC deviceContext, uint32_t listBase, int firstChar, int count);

// ---- The info panel (dialog 102: a read-only, scrollable edit control) ----------------------

// Opens the panel on the window at its dialog-unit layout (panel 166 x 65 units at the client's
// top-left, text box 7,7 151 x 51 units, 8-point sans-serif dialog font). The window's GL
// context must be current. False when it cannot be made; the application goes on without it.
bool openInfoPanel(HWND parent);

// Shows text (Windows-1251, lines separated by "\r\n") in the panel's text box.
void setInfoPanelText(const char* text);

// Draws the panel into the window's frame just before the swap, for backends that draw it
// themselves; nothing where the panel is a real child window. Nothing when no panel is open.
void drawInfoPanel();

// ---- Message boxes (MessageBoxA) ------------------------------------------------------------

enum class MessageBoxIcon { PLAIN, ERROR_ICON };
// Whether the box's text also goes to stderr: QUIET for a report another process of the bench
// makes on stderr already, so a user reads it once.
enum class MessageEcho { STDERR, QUIET };

// Shows the text in a modal box with the caption. The text also goes to stderr as
// "<caption>: <text>" unless echo is QUIET. With OCULANT_HEADLESS=1 or no display, no box is
// shown and the call returns at once. While a box is up, the instance messages sent to this
// process's windows are still served, so window procedures may run inside this call.
void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon,
                    MessageEcho echo = MessageEcho::STDERR);

// ---- The instance semaphore and the role decision -------------------------------------------
// The named counting semaphore that numbers the instances of one bench (OpenSemaphoreA,
// CreateSemaphoreA, ReleaseSemaphore, WaitForSingleObject). The units of an instance that ends
// in any way, a crash included, come back by themselves.

// Opens this bench's existing semaphore. False when there is none.
bool openInstanceSemaphore();

// Creates the semaphore with its maximum count and takes the initial units for this process.
// False when it cannot be made; later releases and waits then do nothing.
bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount);

// Adds count units, held by this process. False (and nothing changed) when that would pass the
// maximum or no semaphore is open. *previousCount, when given, receives the count before.
bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount);

// Gives back one unit that this process holds. False when it holds none.
bool waitInstanceSemaphore(int timeoutMs);

// The current count; -1 when no semaphore is open here.
int32_t instanceSemaphoreCount();

// Serialises the role decision between processes that start at the same moment; a start that
// stopped mid-decision holds later ones only for a bounded time. The lock goes with the
// process if it ends before endRoleDecision.
void beginRoleDecision();
void endRoleDecision();

// Where this bench's instances meet, as a user would recognise it in a message (the runtime
// folder on POSIX).
std::string benchLocation();

// ---- Processes and time ---------------------------------------------------------------------

// CreateProcessA("oculant.exe"): starts the running executable again in the current folder
// with this process's environment and no arguments, not as a child this one must wait for. A
// failure is silent.
void startInstanceProcess();

// GetTickCount: milliseconds of a monotonic clock, wrapping around at 2^32.
uint32_t tickCount();
