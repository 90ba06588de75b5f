// SDL events in, Windows messages out: keys, mouse flags and coordinates, wheel.
#include "platform/sdl_event_translation.h"

#include <gtest/gtest.h>

namespace {

constexpr HWND kWindow = 42;

EventContext context(Uint32 buttons = 0, Uint16 modifiers = KMOD_NONE) {
  EventContext c = {};
  c.window = kWindow;
  c.clientWidth = 800;
  c.clientHeight = 600;
  c.clientScreenX = 10;
  c.clientScreenY = 20;
  c.mouseButtons = buttons;
  c.keyModifiers = modifiers;
  return c;
}

SDL_Event key(Uint32 type, SDL_Keycode sym, bool repeat = false) {
  SDL_Event event = {};
  event.type = type;
  event.key.keysym.sym = sym;
  event.key.repeat = repeat ? 1 : 0;
  return event;
}

SDL_Event motion(int x, int y, Uint32 state) {
  SDL_Event event = {};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  event.motion.state = state;
  return event;
}

SDL_Event button(Uint32 type, Uint8 which, int x, int y) {
  SDL_Event event = {};
  event.type = type;
  event.button.button = which;
  event.button.x = x;
  event.button.y = y;
  return event;
}

SDL_Event wheel(int y, int x = 0) {
  SDL_Event event = {};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.x = x;
  event.wheel.y = y;
  event.wheel.mouseX = 3;
  event.wheel.mouseY = 4;
  event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  return event;
}

struct Case {
  const char* what;
  SDL_Event event;
  EventContext context;
  UINT message;  // 0: no message at all
  WPARAM wParam;
  LPARAM lParam;
};

LPARAM xy(int x, int y) {
  return LPARAM(uint32_t(uint16_t(x) | uint32_t(uint16_t(y)) << 16));
}

TEST(SdlEventTranslationTest, EventsBecomeTheWindowsMessagesOfTheirWindow) {
  EventContext losing = context();
  losing.focusLossQueued = true;
  const Case cases[] = {
      {"left shift", key(SDL_KEYDOWN, SDLK_LSHIFT), context(), WM_KEYDOWN, VK_SHIFT, 0},
      {"F1", key(SDL_KEYDOWN, SDLK_F1), context(), WM_KEYDOWN, VK_F1, 0},
      // Auto-repeat is another key-down, marked as such; key-ups carry the key too.
      {"repeat", key(SDL_KEYDOWN, SDLK_F1, true), context(), WM_KEYDOWN, VK_F1, 1 << 30},
      {"shift up", key(SDL_KEYUP, SDLK_RSHIFT), context(), WM_KEYUP, VK_SHIFT, LPARAM(0xC0000000u)},
      // A key-up that the focus loss behind it caused is no key-up for the window.
      {"up on focus loss", key(SDL_KEYUP, SDLK_LSHIFT), losing, 0, 0, 0},
      {"down on focus loss", key(SDL_KEYDOWN, SDLK_LSHIFT), losing, WM_KEYDOWN, VK_SHIFT, 0},
      // Mouse moves: exact flags, and nothing outside the client area without capture.
      {"drag", motion(30, 40, SDL_BUTTON_LMASK), context(), WM_MOUSEMOVE, MK_LBUTTON, xy(30, 40)},
      {"ctrl drag", motion(1, 1, SDL_BUTTON_LMASK), context(0, KMOD_LCTRL), WM_MOUSEMOVE,
       MK_LBUTTON | MK_CONTROL, xy(1, 1)},
      {"left of", motion(-1, 10, SDL_BUTTON_LMASK), context(), 0, 0, 0},
      // Buttons count only over the window; a release elsewhere leaves the button held.
      {"left down", button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6), context(), WM_LBUTTONDOWN,
       MK_LBUTTON, xy(5, 6)},
      {"up outside", button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 900, 10), context(), 0, 0, 0},
      // Wheel notches are 120 in the high word, at screen coordinates.
      {"wheel", wheel(1), context(SDL_BUTTON_LMASK), WM_MOUSEWHEEL, 120 << 16 | MK_LBUTTON,
       xy(13, 24)},
      {"wheel down", wheel(-2), context(), WM_MOUSEWHEEL, WPARAM(uint16_t(-240)) << 16, xy(13, 24)},
      {"sideways", wheel(0, 1), context(), 0, 0, 0},
  };
  for (const Case& c : cases) {
    MSG message = {};
    const bool made = translateSdlEvent(c.event, c.context, &message);
    EXPECT_EQ(made, c.message != 0) << c.what;
    if (!made || c.message == 0) continue;
    EXPECT_EQ(message.hwnd, kWindow) << c.what;
    EXPECT_EQ(message.message, c.message) << c.what;
    EXPECT_EQ(message.wParam, c.wParam) << c.what;
    // Of a key message's lParam only the previous-state and release bits matter here.
    const bool isKey = c.message == WM_KEYDOWN || c.message == WM_KEYUP;
    EXPECT_EQ(message.lParam & (isKey ? LPARAM(0xC0000000u) : ~LPARAM(0)), c.lParam) << c.what;
  }
}

}  // namespace
