// The bookkeeping every backend shares: window classes, window records, the order of messages
// on create and destroy, quit, dispatch, and instance messages delivered to this process's own
// windows without a round trip through the backend.
#include <string>
#include <vector>

#include "platform/backend.h"

namespace {

struct WindowClass {
  std::string name;
  WNDPROC procedure;
  std::vector<uint32_t> iconPixels;
  int iconWidth;
  int iconHeight;
};

struct WindowRecord {
  HWND handle;
  NativeWindow* native;
  WNDPROC procedure;
  std::string className;
  bool destroying;
};

std::vector<WindowClass> classes;
// Window procedures may create or destroy windows, so records are looked up afresh after
// every call into one, never held by reference across it.
std::vector<WindowRecord> windows;
bool quitPosted = false;
int quitExitCode = 0;
unsigned long eventsTaken = 0;

const WindowClass* findClass(const char* name) {
  for (const WindowClass& windowClass : classes) {
    if (windowClass.name == name) return &windowClass;
  }
  return nullptr;
}

WindowRecord* findRecord(HWND window) {
  if (window == 0) return nullptr;
  for (WindowRecord& record : windows) {
    if (record.handle == window) return &record;
  }
  return nullptr;
}

LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = findRecord(window);
  if (!record) return 0;
  WNDPROC procedure = record->procedure;
  return procedure(window, message, wParam, lParam);
}

}  // namespace

LRESULT deliverToWindow(HWND target, HWND sender, const COPYDATASTRUCT& data) {
  return callProcedure(target, WM_COPYDATA, static_cast<WPARAM>(sender),
                       reinterpret_cast<LPARAM>(&data));
}

NativeWindow* nativeWindowOf(HWND window) {
  WindowRecord* record = findRecord(window);
  return record ? record->native : nullptr;
}

HWND windowOfNative(const NativeWindow* native) {
  for (const WindowRecord& record : windows) {
    if (record.native == native) return record.handle;
  }
  return 0;
}

bool registerWindowClass(const char* className, WNDPROC windowProc, const WindowIcon* icon) {
  if (!className || !windowProc || findClass(className)) return false;
  if (!nativeStartDisplay(className)) return false;
  WindowClass windowClass{className, windowProc, {}, 0, 0};
  if (icon && icon->pixels && icon->width > 0 && icon->height > 0) {
    windowClass.iconPixels.assign(icon->pixels, icon->pixels + icon->width * icon->height);
    windowClass.iconWidth = icon->width;
    windowClass.iconHeight = icon->height;
  }
  classes.push_back(windowClass);
  return true;
}

HWND createWindow(const char* className, const char* title, int x, int y, int width, int height) {
  const WindowClass* windowClass = findClass(className);
  if (!windowClass) return 0;
  const WindowIcon icon = {
      windowClass->iconWidth, windowClass->iconHeight,
      windowClass->iconPixels.empty() ? nullptr : windowClass->iconPixels.data()};
  NativeWindow* native = nativeCreateWindow(title, x, y, width, height, icon);
  if (!native) return 0;
  HWND handle = remoteAllocateHandle();
  if (handle == 0 || !remoteListen(handle, className)) {
    nativeDestroyWindow(native);
    return 0;
  }
  windows.push_back(WindowRecord{handle, native, windowClass->procedure, className, false});

  // As CreateWindowExA: WM_CREATE (-1 refuses the window), then the first WM_SIZE.
  if (callProcedure(handle, WM_CREATE, 0, 0) == -1) {
    destroyWindow(handle);
    return 0;
  }
  int clientWidth = 0, clientHeight = 0;
  if (getClientRect(handle, &clientWidth, &clientHeight)) {
    callProcedure(handle, WM_SIZE, 0, MAKELPARAM(clientWidth, clientHeight));
  }
  return findRecord(handle) ? handle : 0;
}

void showWindow(HWND window) {
  WindowRecord* record = findRecord(window);
  if (record) nativeShowWindow(record->native);
}

bool isWindow(HWND window) {
  const WindowRecord* record = findRecord(window);
  return record != nullptr && !record->destroying;
}

void destroyWindow(HWND window) {
  WindowRecord* record = findRecord(window);
  if (!record || record->destroying) return;
  record->destroying = true;
  // The window stays findable and reachable while its procedure handles WM_DESTROY.
  callProcedure(window, WM_DESTROY, 0, 0);
  remoteClose(window);
  record = findRecord(window);
  if (!record) return;
  NativeWindow* native = record->native;
  windows.erase(windows.begin() + (record - windows.data()));
  nativeDestroyWindow(native);
}

LRESULT defWindowProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

bool getClientRect(HWND window, int* width, int* height) {
  *width = 0;
  *height = 0;
  WindowRecord* record = findRecord(window);
  if (!record) return false;
  nativeClientSize(record->native, width, height);
  return true;
}

bool setClientSize(HWND window, int width, int height) {
  WindowRecord* record = findRecord(window);
  if (!record) return false;
  nativeSetClientSize(record->native, width, height);
  return true;
}

HWND findWindow(const char* className) {
  if (!className) return 0;
  for (const WindowRecord& record : windows) {
    if (record.className == className) return record.handle;
  }
  return remoteFindClass(className);
}

bool peekMessage(MSG* msg) {
  remoteServeWaiting();
  if (quitPosted) {
    quitPosted = false;
    *msg = MSG{0, WM_QUIT, static_cast<WPARAM>(quitExitCode), 0};
    return true;
  }
  const InputTaken taken = nativeTakeInput(msg);
  if (taken != InputTaken::NONE) ++eventsTaken;
  return taken == InputTaken::MESSAGE;
}

unsigned long inputEventsTaken() {
  return eventsTaken;
}

void waitForMessage(int timeoutMs) {
  if (quitPosted || timeoutMs <= 0) return;
  nativeWait(timeoutMs);
}

void serveInstanceMessages() {
  remoteServeWaiting();
}

LRESULT dispatchMessage(const MSG& msg) {
  return callProcedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool quitPending() {
  return quitPosted;
}

void postQuitMessage(int exitCode) {
  quitPosted = true;
  quitExitCode = exitCode;
}

bool sendCopyDataTimeout(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                         LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (findRecord(target)) {
    const LRESULT handled = deliverToWindow(target, sender, data);
    if (result != nullptr) *result = handled;
    return true;
  }
  return remoteSend(target, sender, data, timeoutMs, result);
}

void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> keepAlive) {
  if (findRecord(target)) {
    if (data.cbData == 0 || data.lpData != nullptr) deliverToWindow(target, sender, data);
    return;
  }
  remotePost(target, sender, data, std::move(keepAlive));
}
