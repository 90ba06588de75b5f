// SDL events in, Windows messages out: keys, mouse flags and coordinates, wheel, window events.
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

SDL_Event windowEvent(Uint8 what, int data1 = 0, int data2 = 0) {
  SDL_Event event = {};
  event.type = SDL_WINDOWEVENT;
  event.window.event = what;
  event.window.data1 = data1;
  event.window.data2 = data2;
  return event;
}

MSG translated(const SDL_Event& event, const EventContext& c) {
  MSG message = {};
  EXPECT_TRUE(translateSdlEvent(event, c, &message));
  EXPECT_EQ(message.hwnd, kWindow);
  return message;
}

bool nothingFrom(const SDL_Event& event, const EventContext& c) {
  MSG message = {};
  return !translateSdlEvent(event, c, &message);
}

TEST(SdlEventTranslationTest, KeysBecomeVirtualKeyMessages) {
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_LSHIFT), context()).wParam, VK_SHIFT);
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_RSHIFT), context()).wParam, VK_SHIFT);
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_RCTRL), context()).wParam, VK_CONTROL);
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_F1), context()).wParam, VK_F1);
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_F2), context()).wParam, VK_F2);
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_q), context()).wParam, WPARAM('Q'));

  // Auto-repeat is another key-down, marked as such; key-ups carry the key too.
  MSG repeat = translated(key(SDL_KEYDOWN, SDLK_F1, true), context());
  EXPECT_EQ(repeat.message, WM_KEYDOWN);
  EXPECT_TRUE(repeat.lParam & (1 << 30));
  MSG up = translated(key(SDL_KEYUP, SDLK_RSHIFT), context());
  EXPECT_EQ(up.message, WM_KEYUP);
  EXPECT_EQ(up.wParam, VK_SHIFT);
  // Any key-up counts, even one without a code of its own.
  EXPECT_EQ(translated(key(SDL_KEYUP, SDLK_KP_5), context()).message, WM_KEYUP);
}

TEST(SdlEventTranslationTest, KeyUpsCausedByFocusLossAreDropped) {
  EventContext losing = context();
  losing.focusLossQueued = true;
  EXPECT_TRUE(nothingFrom(key(SDL_KEYUP, SDLK_LSHIFT), losing));
  EXPECT_EQ(translated(key(SDL_KEYDOWN, SDLK_LSHIFT), losing).message, WM_KEYDOWN);
  EXPECT_TRUE(nothingFrom(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), context()));
}

TEST(SdlEventTranslationTest, MouseMovesCarryExactFlagsAndSignedCoordinates) {
  MSG left = translated(motion(30, 40, SDL_BUTTON_LMASK), context());
  EXPECT_EQ(left.message, WM_MOUSEMOVE);
  EXPECT_EQ(left.wParam, MK_LBUTTON);
  EXPECT_EQ(GET_X_LPARAM(left.lParam), 30);
  EXPECT_EQ(GET_Y_LPARAM(left.lParam), 40);

  EXPECT_EQ(translated(motion(1, 1, SDL_BUTTON_LMASK), context(0, KMOD_LCTRL)).wParam,
            MK_LBUTTON | MK_CONTROL);
  EXPECT_EQ(translated(motion(1, 1, SDL_BUTTON_LMASK | SDL_BUTTON_RMASK), context()).wParam,
            MK_LBUTTON | MK_RBUTTON);
  EXPECT_EQ(translated(motion(1, 1, SDL_BUTTON_RMASK), context(0, KMOD_RSHIFT)).wParam,
            MK_RBUTTON | MK_SHIFT);
  EXPECT_EQ(translated(motion(1, 1, SDL_BUTTON_MMASK), context()).wParam, MK_MBUTTON);
  EXPECT_EQ(translated(motion(799, 599, 0), context()).wParam, WPARAM(0));

  // Without capture the window sees no moves outside its client area.
  EXPECT_TRUE(nothingFrom(motion(-1, 10, SDL_BUTTON_LMASK), context()));
  EXPECT_TRUE(nothingFrom(motion(800, 10, 0), context()));
  EXPECT_TRUE(nothingFrom(motion(10, 600, 0), context()));
}

TEST(SdlEventTranslationTest, ButtonsCountOnlyOverTheWindow) {
  MSG down = translated(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6), context(0));
  EXPECT_EQ(down.message, WM_LBUTTONDOWN);
  EXPECT_EQ(down.wParam, MK_LBUTTON);
  EXPECT_EQ(GET_X_LPARAM(down.lParam), 5);
  EXPECT_EQ(GET_Y_LPARAM(down.lParam), 6);

  MSG up = translated(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 6),
                      context(SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, KMOD_LSHIFT));
  EXPECT_EQ(up.message, WM_LBUTTONUP);
  EXPECT_EQ(up.wParam, MK_RBUTTON | MK_SHIFT);

  EXPECT_EQ(translated(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 0, 0), context()).message,
            WM_RBUTTONDOWN);
  EXPECT_EQ(translated(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 0, 0), context()).message,
            WM_RBUTTONUP);

  // A release outside the window never reaches it: the button stays held for the window.
  EXPECT_TRUE(nothingFrom(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 900, 10), context()));
  EXPECT_TRUE(nothingFrom(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, -3), context()));
  EXPECT_TRUE(nothingFrom(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 10, 10), context()));
}

TEST(SdlEventTranslationTest, WheelNotchesAre120InTheHighWord) {
  SDL_Event wheel = {};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = 1;
  wheel.wheel.mouseX = 3;
  wheel.wheel.mouseY = 4;
  MSG away = translated(wheel, context(SDL_BUTTON_LMASK));
  EXPECT_EQ(away.message, WM_MOUSEWHEEL);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(away.wParam), 120);
  EXPECT_EQ(away.wParam & 0xFFFF, MK_LBUTTON);
  EXPECT_EQ(GET_X_LPARAM(away.lParam), 13);  // screen coordinates
  EXPECT_EQ(GET_Y_LPARAM(away.lParam), 24);

  wheel.wheel.y = -2;
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(translated(wheel, context()).wParam), -240);
  wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(translated(wheel, context()).wParam), 240);
  wheel.wheel.y = 0;
  wheel.wheel.x = 1;
  EXPECT_TRUE(nothingFrom(wheel, context()));
}

TEST(SdlEventTranslationTest, WindowEventsAndEventsForNoWindow) {
  EXPECT_EQ(translated(windowEvent(SDL_WINDOWEVENT_CLOSE), context()).message, WM_CLOSE);
  MSG size = translated(windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480), context());
  EXPECT_EQ(size.message, WM_SIZE);
  EXPECT_EQ(GET_X_LPARAM(size.lParam), 640);
  EXPECT_EQ(GET_Y_LPARAM(size.lParam), 480);
  EXPECT_EQ(translated(windowEvent(SDL_WINDOWEVENT_MINIMIZED), context()).message, WM_SIZE);

  EventContext none = context();
  none.window = 0;
  EXPECT_TRUE(nothingFrom(windowEvent(SDL_WINDOWEVENT_CLOSE), none));
  EXPECT_TRUE(nothingFrom(key(SDL_KEYDOWN, SDLK_F1), none));
  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  EXPECT_TRUE(nothingFrom(quit, context()));
}

}  // namespace
