// Window classes, windows and the message pump on Windows: the system keeps the records, sends
// WM_CREATE, WM_SIZE and WM_DESTROY itself and hands sent messages (WM_COPYDATA from other
// instances) to the window procedure whenever this thread asks for messages or waits in a send.
//
// Where this backend departs from the plain Win32 calls the bench's design names, and why:
//  - Classes are CS_OWNDC: a WGL context stays bound to one device context for the window's life.
//  - Windows are WS_CLIPCHILDREN | WS_CLIPSIBLINGS, so GL never draws over another window.
//  - A window is shown with the show command it was started with: the scene starts its cameras with
//  SW_SHOWNOACTIVATE
//    in their start-up information, so the keyboard stays with the overview whichever window
//    appears last (process_tick_win32.cpp).
//  - Instance messages are SendMessageTimeoutA with SMTO_ABORTIFHUNG and a bound, not
//    SendMessageA: a stopped or hung peer costs a sender one bound, never the bench
//    (instances_win32.cpp).
//  - The info panel (dialog 102) is an owned pop-up laid over the scene's client area and never
//    activated, not a child dialog: under Wine a GL window covers its children. Its text is set
//    with the edit control's drawing off, as setting it can otherwise wait on the window system
//    for good under Wine (info_panel_win32.cpp).
//  - WM_CLOSE reaches DefWindowProcA only as far as the application wants: the application
//    destroys its window itself (defWindowProc below).
//  - The class icon is resource 101 when the executable has it, else one made from the icon
//    image the application hands over.
//  - The bench is a GUI program; started from a console, it writes its messages there
//    (attachParentConsole below).
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/info_panel_win32.h"
#include "platform/win32/reply_chain_win32.h"

namespace {

// The application's procedure of each class this process registered.
struct ClassProcedure {
  ATOM atom;
  WNDPROC procedure;
};
std::vector<ClassProcedure> classProcedures;

// Every message passes here on its way to the application's procedure, so that the replies
// made while an instance message is handled form one chain.
LRESULT CALLBACK applicationProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const ATOM atom = static_cast<ATOM>(GetClassLongA(window, GCW_ATOM));
  WNDPROC procedure = DefWindowProcA;
  for (const ClassProcedure& entry : classProcedures) {
    if (entry.atom == atom) procedure = entry.procedure;
  }
  if (message == WM_MOVE || message == WM_SIZE) placeInfoPanel(window);
  if (message != WM_COPYDATA) return procedure(window, message, wParam, lParam);
  beginReplyChain();
  const LRESULT result = procedure(window, message, wParam, lParam);
  endReplyChain();
  return result;
}

// Windows whose DestroyWindow is under way: they are still windows to the system, but no
// longer to the application, and a second destruction must not begin.
std::vector<HWND> windowsBeingDestroyed;
bool quitPosted = false;
int quitExitCode = 0;
unsigned long messagesTaken = 0;
HICON classIcon = nullptr;
constexpr WORD kIconResourceId = 101;

bool beingDestroyed(HWND window) {
  return std::find(windowsBeingDestroyed.begin(), windowsBeingDestroyed.end(), window) !=
         windowsBeingDestroyed.end();
}

// The icon from 0xAARRGGBB rows, top row first: a top-down 32-bit DIB has exactly that layout
// in memory, and its alpha makes the mask unused (it must exist all the same).
HICON createIcon(const WindowIcon& icon) {
  BITMAPV5HEADER header = {};
  header.bV5Size = sizeof header;
  header.bV5Width = icon.width;
  header.bV5Height = -icon.height;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!colour) return nullptr;
  std::copy(icon.pixels, icon.pixels + icon.width * icon.height, static_cast<uint32_t*>(bits));
  HBITMAP mask = CreateBitmap(icon.width, icon.height, 1, 1, nullptr);
  ICONINFO info = {TRUE, 0, 0, mask, colour};
  HICON handle = mask ? CreateIconIndirect(&info) : nullptr;
  DeleteObject(colour);
  if (mask) DeleteObject(mask);
  return handle;
}

// A GUI program has no console of its own: started from a command prompt, its standard streams
// that were not redirected go to that prompt's console, so --version, --help and the error
// messages show there. Redirected streams stay as they are. Runs before main.
struct ParentConsole {
  ParentConsole() {
    const bool outputUnset = GetStdHandle(STD_OUTPUT_HANDLE) == nullptr;
    const bool errorUnset = GetStdHandle(STD_ERROR_HANDLE) == nullptr;
    if (!(outputUnset || errorUnset) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (outputUnset) std::freopen("CONOUT$", "w", stdout);
    if (errorUnset) std::freopen("CONOUT$", "w", stderr);
  }
} attachParentConsole;

}  // namespace

bool registerWindowClass(const char* className, WNDPROC windowProc, const WindowIcon* icon) {
  if (!className || !windowProc) return false;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  // A GL context keeps the window's device context for its whole life; a resized window is
  // repainted whole, as the scene is drawn to fit the client area.
  windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = applicationProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = className;
  if (!classIcon) classIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResourceId));
  if (!classIcon && icon && icon->pixels && icon->width > 0 && icon->height > 0) {
    classIcon = createIcon(*icon);
  }
  windowClass.hIcon = classIcon;
  const ATOM atom = RegisterClassA(&windowClass);
  if (atom == 0) return false;
  classProcedures.push_back(ClassProcedure{atom, windowProc});
  return true;
}

HWND createWindow(const char* className, const char* title, int x, int y, int width, int height) {
  // Clipping keeps GL from drawing over the info panel's dialog.
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  return CreateWindowExA(0, className, title, style, x, y, width, height, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// The show command the process was started with (SW_SHOWDEFAULT, spelled out).
void showWindow(HWND window) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const bool given = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
  ShowWindow(window, given ? startup.wShowWindow : SW_SHOWNORMAL);
  UpdateWindow(window);
}

bool isWindow(HWND window) {
  return window != nullptr && IsWindow(window) && !beingDestroyed(window);
}

void destroyWindow(HWND window) {
  if (!isWindow(window)) return;
  windowsBeingDestroyed.push_back(window);
  DestroyWindow(window);
  windowsBeingDestroyed.erase(
      std::find(windowsBeingDestroyed.begin(), windowsBeingDestroyed.end(), window));
}

// The system's own handling, which windows need for their frame, painting and activation;
// only closing is left to the application, which destroys its window itself when it wants.
LRESULT defWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE || !IsWindow(window)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

bool getClientRect(HWND window, int* width, int* height) {
  *width = 0;
  *height = 0;
  RECT rect;
  if (window == nullptr || !GetClientRect(window, &rect)) return false;
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  return true;
}

bool setClientSize(HWND window, int width, int height) {
  if (window == nullptr || !IsWindow(window)) return false;
  RECT outer = {0, 0, width, height};
  const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  const DWORD extendedStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  AdjustWindowRectEx(&outer, style, FALSE, extendedStyle);
  return SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool peekMessage(MSG* msg) {
  if (quitPosted) {
    quitPosted = false;
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(quitExitCode);
    return true;
  }
  // Sent messages are handed to their procedures inside PeekMessageA, before it looks at the
  // queue.
  if (!PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) return false;
  ++messagesTaken;
  TranslateMessage(msg);
  return true;
}

LRESULT dispatchMessage(const MSG& msg) {
  return DispatchMessageA(&msg);
}

void waitForMessage(int timeoutMs) {
  if (quitPosted || timeoutMs <= 0) return;
  // MWMO_INPUTAVAILABLE: input already in the queue ends the wait too, not only new input.
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

void postQuitMessage(int exitCode) {
  quitPosted = true;
  quitExitCode = exitCode;
}

unsigned long inputEventsTaken() {
  return messagesTaken;
}
