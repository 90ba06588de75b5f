// The SDL side of windows: SDL windows with a GL visual, input events, frame fitting under a
// window manager, and sleeping on the X connection.
#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/termination_signals.h"
#include "platform/posix/transport.h"
#include "platform/sdl/event_translation_sdl.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/video_driver_sdl.h"

struct NativeWindow {
  SDL_Window* sdlWindow;
  int depthBits;     // of the GL visual; 0 when the window has none
  SDL_Rect outer;    // position and outer size asked for at creation
  bool frameFitted;  // the window manager's frame has been taken out of the outer size
  bool clientSized;  // the client size was asked for: the frame comes on top of it
};

namespace {

std::vector<NativeWindow*> nativeWindows;
// Shift and Ctrl as of the event being translated. SDL_GetModState already knows every key
// event SDL has queued, so a Ctrl released just after a drag would be missing from the drag's
// mouse messages; key events carry the state as of themselves.
Uint16 modifiersInQueueOrder = 0;

// The depth buffers asked for, best first. An X server offers the largest depth buffer at least
// as deep as asked and EGL the smallest, so only asking for 32 bits gives both the same buffer,
// and with it the same depth test and the same depth values, windowed or headless.
constexpr int kDepthBitsWanted[] = {32, 24};

void requestGlVisual(int depthBits) {
  // Minimums: 16 colour bits as 5-6-5, the depth buffer, double buffering.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

// A GL window of the best depth buffer to be had; null when there is no GL visual at all.
SDL_Window* createGlWindow(const char* title, int x, int y, int width, int height, Uint32 flags,
                           int* depthBits) {
  for (const int bits : kDepthBitsWanted) {
    requestGlVisual(bits);
    SDL_Window* sdlWindow = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL);
    if (sdlWindow) {
      *depthBits = bits;
      return sdlWindow;
    }
  }
  *depthBits = 0;
  return nullptr;
}

// On an X server a window's drawable follows its size. SDL's offscreen driver gives a window a
// drawable of its size at creation that keeps that size, so a window made larger would be drawn
// only in its first corner.
bool drawableFollowsSize() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver == nullptr || std::string(driver) != "offscreen";
}

// Gives the window a new SDL window of its current size, with a drawable of that size. The GL
// context is made current on the new one before the old one goes, so the context and everything
// in it (textures, glyph lists, matrices) carries over.
void replaceDrawable(NativeWindow& window) {
  if (window.depthBits == 0) return;
  SDL_Window* old = window.sdlWindow;
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(old, &x, &y);
  SDL_GetWindowSize(old, &width, &height);
  const Uint32 shown = SDL_GetWindowFlags(old) & SDL_WINDOW_SHOWN;
  requestGlVisual(window.depthBits);
  SDL_Window* replacement =
      SDL_CreateWindow(SDL_GetWindowTitle(old), x, y, width, height,
                       SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_OPENGL);
  if (!replacement) return;
  SDL_GLContext context = SDL_GL_GetCurrentContext();
  if (context && SDL_GL_GetCurrentWindow() == old) SDL_GL_MakeCurrent(replacement, context);
  window.sdlWindow = replacement;
  SDL_DestroyWindow(old);
  if (shown) SDL_ShowWindow(replacement);
}

void setIcon(SDL_Window* sdlWindow, const WindowIcon& icon) {
  if (!icon.pixels) return;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(icon.pixels), icon.width,
                                         icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return;
  SDL_SetWindowIcon(sdlWindow, surface);
  SDL_FreeSurface(surface);
}

// A window manager's frame counts in the outer size. The frame becomes known only some time
// after the window is shown (or never, without a window manager), so every pump pass asks
// until it is; then the client area shrinks to fit and sits inside the frame.
void fitFrameInOuterSize(NativeWindow& window) {
  if (window.frameFitted || !isWindow(windowOfNative(&window))) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window.sdlWindow, &top, &left, &bottom, &right) != 0) return;
  if (top == 0 && left == 0 && bottom == 0 && right == 0) return;
  window.frameFitted = true;
  int width = 0, height = 0;
  SDL_GetWindowSize(window.sdlWindow, &width, &height);
  int clientWidth = window.outer.w - left - right;
  int clientHeight = window.outer.h - top - bottom;
  // A size the user has already changed, or one asked for as the client's, stays as it is.
  if (!window.clientSized && width == window.outer.w && height == window.outer.h &&
      clientWidth > 0 && clientHeight > 0) {
    SDL_SetWindowSize(window.sdlWindow, clientWidth, clientHeight);
  }
  int x = 0, y = 0;
  SDL_GetWindowPosition(window.sdlWindow, &x, &y);
  if (x != window.outer.x + left || y != window.outer.y + top) {
    SDL_SetWindowPosition(window.sdlWindow, window.outer.x + left, window.outer.y + top);
  }
}

NativeWindow* findNativeOfSdlWindow(Uint32 windowId) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(windowId);
  if (!sdlWindow) return nullptr;
  for (NativeWindow* window : nativeWindows) {
    if (window->sdlWindow == sdlWindow) return window;
  }
  return nullptr;
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
  NativeWindow* native = windowId ? findNativeOfSdlWindow(windowId) : nullptr;
  const HWND window = native ? windowOfNative(native) : 0;
  if (!isWindow(window)) return false;
  EventContext context = {};
  context.window = window;
  getClientRect(window, &context.clientWidth, &context.clientHeight);
  SDL_GetWindowPosition(native->sdlWindow, &context.clientScreenX, &context.clientScreenY);
  context.mouseButtons = SDL_GetMouseState(nullptr, nullptr);
  context.keyModifiers = modifiersInQueueOrder;
  context.focusLossQueued = event.type == SDL_KEYUP && keyUpFromFocusLoss(windowId);
  return translateSdlEvent(event, context, message);
}

// The descriptor of SDL's X connection, -1 when the video driver is not X11.
int displayFd() {
  for (const NativeWindow* window : nativeWindows) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window->sdlWindow, &info)) continue;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
  }
  return -1;
}

}  // namespace

SDL_Window* sdlWindowOf(HWND window) {
  NativeWindow* native = nativeWindowOf(window);
  return native ? native->sdlWindow : nullptr;
}

int windowDepthBits(HWND window) {
  NativeWindow* native = nativeWindowOf(window);
  return native ? native->depthBits : 0;
}

// SDL reads the X11 WM_CLASS from this variable when its video starts. It is set only for
// that moment, so the instances this process starts see the environment unchanged.
bool nativeStartDisplay(const char* className) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  // SDL would turn termination signals into a quit event that nothing here waits for; they
  // close the window instead.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  catchTerminationSignals();
  chooseVideoDriver();
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

NativeWindow* nativeCreateWindow(const char* title, int x, int y, int width, int height,
                                 const WindowIcon& icon) {
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
  int depthBits = 0;
  SDL_Window* sdlWindow = createGlWindow(title, x, y, width, height, flags, &depthBits);
  // Without a GL-capable visual the window still exists; its pixel format request fails.
  if (!sdlWindow) sdlWindow = SDL_CreateWindow(title, x, y, width, height, flags);
  if (!sdlWindow) return nullptr;
  setIcon(sdlWindow, icon);
  nativeWindows.push_back(
      new NativeWindow{sdlWindow, depthBits, SDL_Rect{x, y, width, height}, false, false});
  return nativeWindows.back();
}

void nativeShowWindow(NativeWindow* window) {
  SDL_ShowWindow(window->sdlWindow);
  fitFrameInOuterSize(*window);
}

void nativeDestroyWindow(NativeWindow* window) {
  nativeWindows.erase(std::find(nativeWindows.begin(), nativeWindows.end(), window));
  SDL_DestroyWindow(window->sdlWindow);
  delete window;
}

void nativeClientSize(NativeWindow* window, int* width, int* height) {
  if (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_MINIMIZED) return;
  SDL_GetWindowSize(window->sdlWindow, width, height);
}

// SDL sizes are client sizes already.
void nativeSetClientSize(NativeWindow* window, int width, int height) {
  window->clientSized = true;
  SDL_SetWindowSize(window->sdlWindow, width, height);
  if (!drawableFollowsSize()) replaceDrawable(*window);
}

InputTaken nativeTakeInput(MSG* msg) {
  for (NativeWindow* window : nativeWindows) fitFrameInOuterSize(*window);
  // A termination signal closes the process's window (its only one) like the user would.
  if (takeTerminationRequest() && !nativeWindows.empty()) {
    const HWND window = windowOfNative(nativeWindows.front());
    if (isWindow(window)) {
      *msg = MSG{window, WM_CLOSE, 0, 0};
      return InputTaken::MESSAGE;
    }
  }
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return InputTaken::NONE;
  SDL_Event event;
  if (!SDL_PollEvent(&event)) return InputTaken::NONE;
  if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
    modifiersInQueueOrder = event.key.keysym.mod;
  }
  // Mouse input over the info panel belongs to the panel, as with a child window.
  if (panelHostTakesEvent(event)) return InputTaken::SWALLOWED;
  return translateForOwnWindow(event, msg) ? InputTaken::MESSAGE : InputTaken::SWALLOWED;
}

void nativeWait(int timeoutMs) {
  pollfd fds[3];
  nfds_t count = 0;
  const int wakeFd = transportWakeFd();
  if (wakeFd >= 0) fds[count++] = pollfd{wakeFd, POLLIN, 0};
  const int signalFd = terminationWakeFd();
  if (signalFd >= 0) fds[count++] = pollfd{signalFd, POLLIN, 0};
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
