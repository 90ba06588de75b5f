#include "platform/sdl/event_translation_sdl.h"

namespace {

constexpr WPARAM kNoVirtualKey = 0xFF;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;

// Key-message lParam: repeat count 1, bit 29 Alt held (system keys only), bit 30 the previous
// key state, bit 31 set on release.
LPARAM keyLParam(bool repeated, bool released, bool altContext) {
  uint32_t value = 1;
  if (altContext) value |= 1u << 29;
  if (repeated || released) value |= 1u << 30;
  if (released) value |= 1u << 31;
  return static_cast<LPARAM>(value);
}

// Alt went down on its own and no other system key has come since. Its release is then a
// system key-up; after Alt+key it is a plain key-up. Keyboard-wide, like the state it mirrors.
bool altAlone = false;

bool isAlt(SDL_Keycode key) {
  return key == SDLK_LALT || key == SDLK_RALT;
}
bool isCtrl(SDL_Keycode key) {
  return key == SDLK_LCTRL || key == SDLK_RCTRL;
}

// Whether a key event is a system key (WM_SYSKEYDOWN / WM_SYSKEYUP), as Windows decides it:
// F10 always; Alt itself unless Ctrl is held; any key while Alt is held without Ctrl, since
// Ctrl+Alt (AltGr) types ordinary keys. SDL's modifiers already include the event's own key.
bool isSystemKey(const SDL_KeyboardEvent& key) {
  const bool down = key.type == SDL_KEYDOWN;
  const bool altHeld = key.keysym.mod & KMOD_ALT;
  const bool ctrlHeld = key.keysym.mod & KMOD_CTRL;
  bool system;
  if (isAlt(key.keysym.sym)) {
    system = down ? !ctrlHeld : altAlone;
    altAlone = down && system;
    return system;
  }
  if (isCtrl(key.keysym.sym)) {
    system = !down && altHeld;
  } else {
    system = key.keysym.sym == SDLK_F10 || (altHeld && !ctrlHeld);
  }
  if (system) altAlone = false;
  return system;
}

bool overClientArea(int x, int y, const EventContext& context) {
  return x >= 0 && y >= 0 && x < context.clientWidth && y < context.clientHeight;
}

// SDL keeps the pointer of a window without mouse capture inside that window: a move that
// leaves it, button held, arrives clamped to the edge, while its relative motion still says
// where the pointer went. Windows sends no move once the pointer is outside, so the pointer is
// followed by its relative motion from the last position known to be exact (one off the
// edge), and a move that ends outside gives no message.
struct TrackedPointer {
  bool known;
  int x;
  int y;
} pointer = {false, 0, 0};

bool moveEndsOverClientArea(const SDL_MouseMotionEvent& motion, const EventContext& context) {
  const bool onEdge = motion.x <= 0 || motion.y <= 0 || motion.x >= context.clientWidth - 1 ||
                      motion.y >= context.clientHeight - 1;
  if (pointer.known && onEdge) {
    pointer.x += motion.xrel;
    pointer.y += motion.yrel;
  } else {
    pointer = {true, motion.x, motion.y};
  }
  return overClientArea(pointer.x, pointer.y, context);
}

MSG messageFor(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return MSG{window, message, wParam, lParam};
}

bool translateKey(const SDL_KeyboardEvent& key, const EventContext& context, MSG* message) {
  const bool down = key.type == SDL_KEYDOWN;
  // SDL releases every held key when the focus goes; Windows sends no key-up then.
  if (!down && context.focusLossQueued) return false;
  const bool system = isSystemKey(key);
  UINT code = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  // Auto-repeat gives further key-downs, as on Windows.
  *message =
      messageFor(context.window, code, virtualKeyOf(key.keysym.sym),
                 keyLParam(down && key.repeat != 0, !down, system && (key.keysym.mod & KMOD_ALT)));
  return true;
}

bool translateWindowEvent(const SDL_WindowEvent& event, const EventContext& context, MSG* message) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      *message = messageFor(context.window, WM_CLOSE, 0, 0);
      return true;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      *message =
          messageFor(context.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(event.data1, event.data2));
      return true;
    case SDL_WINDOWEVENT_MINIMIZED:
      *message = messageFor(context.window, WM_SIZE, SIZE_MINIMIZED, 0);
      return true;
    case SDL_WINDOWEVENT_RESTORED:
      *message = messageFor(context.window, WM_SIZE, SIZE_RESTORED,
                            MAKELPARAM(context.clientWidth, context.clientHeight));
      return true;
    case SDL_WINDOWEVENT_EXPOSED:
      *message = messageFor(context.window, WM_PAINT, 0, 0);
      return true;
    default:
      return false;
  }
}

bool translateButton(const SDL_MouseButtonEvent& event, const EventContext& context, MSG* message) {
  if (!overClientArea(event.x, event.y, context)) return false;
  bool down = event.type == SDL_MOUSEBUTTONDOWN;
  UINT code;
  if (event.button == SDL_BUTTON_LEFT) {
    code = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  } else if (event.button == SDL_BUTTON_RIGHT) {
    code = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  } else {
    return false;
  }
  // The flags describe the state after the event, as on Windows.
  Uint32 buttons = context.mouseButtons;
  if (down) {
    buttons |= SDL_BUTTON(event.button);
  } else {
    buttons &= ~SDL_BUTTON(event.button);
  }
  *message = messageFor(context.window, code, mouseKeyFlags(buttons, context.keyModifiers),
                        MAKELPARAM(event.x, event.y));
  return true;
}

bool translateWheel(const SDL_MouseWheelEvent& event, const EventContext& context, MSG* message) {
  int notches = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
  if (notches == 0) return false;
  int delta = notches * WHEEL_DELTA;
  WPARAM wParam = (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16) |
                  mouseKeyFlags(context.mouseButtons, context.keyModifiers);
  *message = messageFor(
      context.window, WM_MOUSEWHEEL, wParam,
      MAKELPARAM(context.clientScreenX + event.mouseX, context.clientScreenY + event.mouseY));
  return true;
}

}  // namespace

WPARAM virtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    case SDLK_RETURN:
      return 13;
    case SDLK_ESCAPE:
      return 27;
    case SDLK_SPACE:
      return 32;
    case SDLK_PAGEUP:
      return 33;
    case SDLK_PAGEDOWN:
      return 34;
    case SDLK_END:
      return 35;
    case SDLK_HOME:
      return 36;
    case SDLK_LEFT:
      return 37;
    case SDLK_UP:
      return 38;
    case SDLK_RIGHT:
      return 39;
    case SDLK_DOWN:
      return 40;
    case SDLK_INSERT:
      return 45;
    case SDLK_DELETE:
      return 46;
    default:
      return kNoVirtualKey;
  }
}

WPARAM mouseKeyFlags(Uint32 mouseButtons, Uint16 keyModifiers) {
  WPARAM flags = 0;
  if (mouseButtons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (mouseButtons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (mouseButtons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  if (keyModifiers & KMOD_SHIFT) flags |= MK_SHIFT;
  if (keyModifiers & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

bool translateSdlEvent(const SDL_Event& event, const EventContext& context, MSG* message) {
  if (context.window == 0) return false;
  switch (event.type) {
    case SDL_WINDOWEVENT:
      return translateWindowEvent(event.window, context, message);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return translateKey(event.key, context, message);
    case SDL_MOUSEMOTION:
      if (!moveEndsOverClientArea(event.motion, context)) return false;
      *message = messageFor(context.window, WM_MOUSEMOVE,
                            mouseKeyFlags(event.motion.state, context.keyModifiers),
                            MAKELPARAM(event.motion.x, event.motion.y));
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return translateButton(event.button, context, message);
    case SDL_MOUSEWHEEL:
      return translateWheel(event.wheel, context, message);
    default:
      return false;
  }
}
