// The pump's translation of SDL events into window messages, fed with SDL_Event values.
#include <gtest/gtest.h>

#include <utility>

#include "platform/sdl/event_translation_sdl.h"

namespace {

EventContext context() {
  EventContext c{};
  c.window = 9;
  c.clientWidth = 320;
  c.clientHeight = 240;
  return c;
}

SDL_Event key(Uint32 type, SDL_Keycode sym, bool repeat = false, Uint16 mod = KMOD_NONE) {
  SDL_Event event{};
  event.type = type;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  event.key.repeat = repeat;
  return event;
}

// The message code and virtual key of one key event; 0 for none.
std::pair<UINT, WPARAM> keyMessage(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
  MSG message{};
  if (!translateSdlEvent(key(type, sym, false, mod), context(), &message)) return {0, 0};
  return {message.message, message.wParam};
}

TEST(EventTranslationTest, KeysFollowWindowsRules) {
  MSG message{};
  ASSERT_TRUE(translateSdlEvent(key(SDL_KEYDOWN, SDLK_RSHIFT), context(), &message));
  EXPECT_EQ(WM_KEYDOWN, message.message);
  EXPECT_EQ(VK_SHIFT, message.wParam);
  ASSERT_TRUE(translateSdlEvent(key(SDL_KEYDOWN, SDLK_F2, true), context(), &message))
      << "auto-repeat gives another key-down";
  EXPECT_EQ(VK_F2, message.wParam);
  ASSERT_TRUE(translateSdlEvent(key(SDL_KEYUP, SDLK_F1), context(), &message));
  EXPECT_EQ(WM_KEYUP, message.message);

  // SDL lets go of every held key when the window loses the focus; Windows sends nothing then,
  // so Shift must stay held.
  EventContext losingFocus = context();
  losingFocus.focusLossQueued = true;
  EXPECT_FALSE(translateSdlEvent(key(SDL_KEYUP, SDLK_LSHIFT), losingFocus, &message));
}

// SDL's modifiers already include the event's own key: Alt's key-down carries KMOD_LALT, its
// key-up no longer does.
TEST(EventTranslationTest, AltAndF10AreSystemKeys) {
  using Key = std::pair<UINT, WPARAM>;
  // A lone tap of Alt, with Shift held as while driving.
  EXPECT_EQ(keyMessage(SDL_KEYDOWN, SDLK_LALT, KMOD_LSHIFT | KMOD_LALT),
            Key(WM_SYSKEYDOWN, VK_MENU));
  EXPECT_EQ(keyMessage(SDL_KEYUP, SDLK_LALT, KMOD_LSHIFT), Key(WM_SYSKEYUP, VK_MENU));
  // Alt+F1: the key is a system key; Alt's release after it is a plain key-up.
  EXPECT_EQ(keyMessage(SDL_KEYDOWN, SDLK_RALT, KMOD_RALT), Key(WM_SYSKEYDOWN, VK_MENU));
  EXPECT_EQ(keyMessage(SDL_KEYDOWN, SDLK_F1, KMOD_RALT), Key(WM_SYSKEYDOWN, VK_F1));
  EXPECT_EQ(keyMessage(SDL_KEYUP, SDLK_F1, KMOD_RALT), Key(WM_SYSKEYUP, VK_F1));
  EXPECT_EQ(keyMessage(SDL_KEYUP, SDLK_RALT), Key(WM_KEYUP, VK_MENU));
  // F10 on its own.
  EXPECT_EQ(keyMessage(SDL_KEYDOWN, SDLK_F10), Key(WM_SYSKEYDOWN, VK_F10));
  EXPECT_EQ(keyMessage(SDL_KEYUP, SDLK_F10), Key(WM_SYSKEYUP, VK_F10));
  // Ctrl+Alt types ordinary keys.
  EXPECT_EQ(keyMessage(SDL_KEYDOWN, SDLK_F2, KMOD_LCTRL | KMOD_LALT), Key(WM_KEYDOWN, VK_F2));

  MSG message{};
  ASSERT_TRUE(translateSdlEvent(key(SDL_KEYDOWN, SDLK_a, true, KMOD_LALT), context(), &message));
  EXPECT_EQ(0x60000001, message.lParam) << "repeated, with Alt held";
}

TEST(EventTranslationTest, MouseMessagesCarryExactFlagsAndStayOverTheWindow) {
  SDL_Event move{};
  move.type = SDL_MOUSEMOTION;
  move.motion.x = 10;
  move.motion.y = 20;
  move.motion.state = SDL_BUTTON_LMASK;
  EventContext withCtrl = context();
  withCtrl.keyModifiers = KMOD_LCTRL;
  MSG message{};
  ASSERT_TRUE(translateSdlEvent(move, withCtrl, &message));
  EXPECT_EQ(WM_MOUSEMOVE, message.message);
  EXPECT_EQ(MK_LBUTTON | MK_CONTROL, message.wParam);
  EXPECT_EQ(MAKELPARAM(10, 20), message.lParam);

  // Dragged out of the window: SDL clamps the move to the edge, its relative motion does not.
  SDL_Event out = move;
  out.motion.x = 319;
  out.motion.xrel = 390;  // from x = 10 to 400
  EXPECT_FALSE(translateSdlEvent(out, context(), &message)) << "a move that leaves the window";
  SDL_Event back = move;
  back.motion.x = 319;
  back.motion.xrel = -81;  // from x = 400 to the last column
  ASSERT_TRUE(translateSdlEvent(back, context(), &message)) << "a move back onto the edge";
  EXPECT_EQ(MAKELPARAM(319, 20), message.lParam);

  SDL_Event release{};
  release.type = SDL_MOUSEBUTTONUP;
  release.button.button = SDL_BUTTON_LEFT;
  release.button.x = 400;  // outside the 320 x 240 client area
  release.button.y = 20;
  EXPECT_FALSE(translateSdlEvent(release, context(), &message))
      << "a release outside the window is not the window's";

  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = -1;
  ASSERT_TRUE(translateSdlEvent(wheel, context(), &message));
  EXPECT_EQ(WM_MOUSEWHEEL, message.message);
  EXPECT_EQ(-WHEEL_DELTA, GET_WHEEL_DELTA_WPARAM(message.wParam));
}

}  // namespace
