#include "platform/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/panel_host_events.h"
#include "platform/sdl_event_translation.h"
#include "platform/sdl_windows.h"
#include "platform/transport.h"

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
  SDL_Window* sdlWindow;
  WNDPROC procedure;
  std::string className;
  bool hasGl;
  bool destroying;
  SDL_Rect outer;    // position and outer size asked for at creation
  bool frameFitted;  // the window manager's frame has been taken out of the outer size
};

std::vector<WindowClass> classes;
// Window procedures may create or destroy windows, so records are looked up afresh after
// every call into one, never held by reference across it.
std::vector<WindowRecord> windows;
bool quitPosted = false;
int quitExitCode = 0;
unsigned long eventsTaken = 0;
// Shift and Ctrl as of the event being translated. SDL_GetModState already knows every key
// event SDL has queued, so a Ctrl released just after a drag would be missing from the drag's
// mouse messages; key events carry the state as of themselves.
Uint16 modifiersInQueueOrder = 0;

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

WindowRecord* findRecordOfSdlWindow(Uint32 windowId) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(windowId);
  if (!sdlWindow) return nullptr;
  for (WindowRecord& record : windows) {
    if (record.sdlWindow == sdlWindow) return &record;
  }
  return nullptr;
}

LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = findRecord(window);
  if (!record) return 0;
  WNDPROC procedure = record->procedure;
  return procedure(window, message, wParam, lParam);
}

LRESULT deliverInstanceMessage(HWND target, HWND sender, const COPYDATASTRUCT& data) {
  return callProcedure(target, WM_COPYDATA, static_cast<WPARAM>(sender),
                       reinterpret_cast<LPARAM>(&data));
}

// SDL reads the X11 WM_CLASS from this variable when its video starts. It is set only for
// that moment, so the instances this process starts see the environment unchanged.
bool startVideo(const char* className) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  // A termination signal ends the process as usual instead of becoming a quit event that
  // nothing here waits for.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const char* variable = "SDL_VIDEO_X11_WMCLASS";
  const char* previous = std::getenv(variable);
  std::string saved = previous ? previous : "";
  setenv(variable, className, 1);
  bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (previous) {
    setenv(variable, saved.c_str(), 1);
  } else {
    unsetenv(variable);
  }
  return started;
}

void requestGlVisual() {
  // Minimums: 16 colour bits as 5-6-5, a 16-bit depth buffer, double buffering.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

void setIcon(SDL_Window* sdlWindow, const WindowClass& windowClass) {
  if (windowClass.iconPixels.empty()) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(windowClass.iconPixels.data()), windowClass.iconWidth,
      windowClass.iconHeight, 32, windowClass.iconWidth * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return;
  SDL_SetWindowIcon(sdlWindow, surface);
  SDL_FreeSurface(surface);
}

// A window manager's frame counts in the outer size. The frame becomes known only some time
// after the window is shown (or never, without a window manager), so every pump pass asks
// until it is; then the client area shrinks to fit and sits inside the frame.
void fitFrameInOuterSize(WindowRecord& record) {
  if (record.frameFitted || record.destroying) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(record.sdlWindow, &top, &left, &bottom, &right) != 0) return;
  if (top == 0 && left == 0 && bottom == 0 && right == 0) return;
  record.frameFitted = true;
  int width = 0, height = 0;
  SDL_GetWindowSize(record.sdlWindow, &width, &height);
  int clientWidth = record.outer.w - left - right;
  int clientHeight = record.outer.h - top - bottom;
  // A size the user has already changed stays as it is.
  if (width == record.outer.w && height == record.outer.h && clientWidth > 0 && clientHeight > 0) {
    SDL_SetWindowSize(record.sdlWindow, clientWidth, clientHeight);
  }
  int x = 0, y = 0;
  SDL_GetWindowPosition(record.sdlWindow, &x, &y);
  if (x != record.outer.x + left || y != record.outer.y + top) {
    SDL_SetWindowPosition(record.sdlWindow, record.outer.x + left, record.outer.y + top);
  }
}

bool keyUpFromFocusLoss(Uint32 windowId) {
  SDL_Event queued[64];
  int count = SDL_PeepEvents(queued, 64, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < count; ++i) {
    if (queued[i].window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
        queued[i].window.windowID == windowId) {
      return true;
    }
  }
  return false;
}

Uint32 eventWindowId(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return event.key.windowID;
    case SDL_MOUSEMOTION:
      return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return event.button.windowID;
    case SDL_MOUSEWHEEL:
      return event.wheel.windowID;
    default:
      return 0;
  }
}

bool translateForOwnWindow(const SDL_Event& event, MSG* message) {
  Uint32 windowId = eventWindowId(event);
  WindowRecord* record = windowId ? findRecordOfSdlWindow(windowId) : nullptr;
  if (!record || record->destroying) return false;
  EventContext context = {};
  context.window = record->handle;
  getClientRect(record->handle, &context.clientWidth, &context.clientHeight);
  SDL_GetWindowPosition(record->sdlWindow, &context.clientScreenX, &context.clientScreenY);
  context.mouseButtons = SDL_GetMouseState(nullptr, nullptr);
  context.keyModifiers = modifiersInQueueOrder;
  context.focusLossQueued = event.type == SDL_KEYUP && keyUpFromFocusLoss(windowId);
  return translateSdlEvent(event, context, message);
}

}  // namespace

SDL_Window* sdlWindowOf(HWND window) {
  WindowRecord* record = findRecord(window);
  return record ? record->sdlWindow : nullptr;
}

bool windowHasGl(HWND window) {
  WindowRecord* record = findRecord(window);
  return record && record->hasGl;
}

bool registerWindowClass(const char* className, WNDPROC windowProc, const WindowIcon* icon) {
  if (!className || !windowProc || findClass(className)) return false;
  if (!startVideo(className)) return false;
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
  requestGlVisual();
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
  bool hasGl = true;
  SDL_Window* sdlWindow = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL);
  if (!sdlWindow) {
    // Without a GL-capable visual the window still exists; its pixel format request fails.
    hasGl = false;
    sdlWindow = SDL_CreateWindow(title, x, y, width, height, flags);
  }
  if (!sdlWindow) return 0;
  setIcon(sdlWindow, *windowClass);

  HWND handle = allocateWindowHandle();
  if (handle == 0 || !transportListen(handle, className)) {
    SDL_DestroyWindow(sdlWindow);
    return 0;
  }
  windows.push_back(WindowRecord{handle, sdlWindow, windowClass->procedure, className, hasGl, false,
                                 SDL_Rect{x, y, width, height}, false});

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
  if (!record) return;
  SDL_ShowWindow(record->sdlWindow);
  fitFrameInOuterSize(*record);
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
  transportClose(window);
  record = findRecord(window);
  if (!record) return;
  SDL_DestroyWindow(record->sdlWindow);
  windows.erase(windows.begin() + (record - windows.data()));
}

LRESULT defWindowProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

bool getClientRect(HWND window, int* width, int* height) {
  *width = 0;
  *height = 0;
  WindowRecord* record = findRecord(window);
  if (!record) return false;
  if (SDL_GetWindowFlags(record->sdlWindow) & SDL_WINDOW_MINIMIZED) return true;
  SDL_GetWindowSize(record->sdlWindow, width, height);
  return true;
}

HWND findWindow(const char* className) {
  if (!className) return 0;
  for (const WindowRecord& record : windows) {
    if (record.className == className) return record.handle;
  }
  return transportFindClass(className);
}

bool peekMessage(MSG* msg) {
  transportServeWaiting(deliverInstanceMessage);
  for (WindowRecord& record : windows) fitFrameInOuterSize(record);
  if (quitPosted) {
    quitPosted = false;
    *msg = MSG{0, WM_QUIT, static_cast<WPARAM>(quitExitCode), 0};
    return true;
  }
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_Event event;
  if (!SDL_PollEvent(&event)) return false;
  ++eventsTaken;
  if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
    modifiersInQueueOrder = event.key.keysym.mod;
  }
  // Mouse input over the info panel belongs to the panel, as with a child window.
  if (panelHostTakesEvent(event)) return false;
  return translateForOwnWindow(event, msg);
}

unsigned long inputEventsTaken() {
  return eventsTaken;
}

// The descriptor of SDL's X connection, -1 when the video driver is not X11.
static int displayFd() {
  for (const WindowRecord& record : windows) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(record.sdlWindow, &info)) continue;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
  }
  return -1;
}

void waitForMessage(int timeoutMs) {
  if (quitPosted || timeoutMs <= 0) return;
  pollfd fds[2];
  nfds_t count = 0;
  const int wakeFd = transportWakeFd();
  if (wakeFd >= 0) fds[count++] = pollfd{wakeFd, POLLIN, 0};
  const int timerMs = transportTimerMs();
  if (timerMs >= 0 && timerMs < timeoutMs) timeoutMs = timerMs;
  if (timeoutMs <= 0) return;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    // Pumping drains Xlib's own queue into SDL's, so the X socket tells of every event that
    // comes later; anything already pumped is handled by the next pass at once.
    SDL_PumpEvents();
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
    const int xFd = displayFd();
    if (xFd >= 0) {
      fds[count++] = pollfd{xFd, POLLIN, 0};
    } else if (timeoutMs > 1) {
      timeoutMs = 1;
    }
  }
  poll(fds, count, timeoutMs);
}

void serveInstanceMessages() {
  transportServeWaiting(deliverInstanceMessage);
}

LRESULT dispatchMessage(const MSG& msg) {
  return callProcedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

void postQuitMessage(int exitCode) {
  quitPosted = true;
  quitExitCode = exitCode;
}

bool sendCopyDataTimeout(HWND target, HWND sender, const COPYDATASTRUCT& data, int timeoutMs,
                         LRESULT* result) {
  // The transport hands a message for one of this process's windows straight to its procedure.
  return transportSend(target, sender, data, deliverInstanceMessage, timeoutMs, result) ==
         SendStatus::HANDLED;
}

void postCopyData(HWND target, HWND sender, const COPYDATASTRUCT& data,
                  std::shared_ptr<const void> keepAlive) {
  transportPost(target, sender, data, std::move(keepAlive), deliverInstanceMessage);
}
