// The pump's translation of SDL events into window messages, fed with SDL_Event values.
#include <gtest/gtest.h>

#include <utility>

#include "platform/sdl/event_translation_sdl.h"

namespace {

using Key = std::pair<UINT, WPARAM>;

EventContext context(Uint16 keyModifiers = KMOD_NONE, bool focusLossQueued = false) {
  EventContext c{};
  c.window = 9;
  c.clientWidth = 320;
  c.clientHeight = 240;
  c.keyModifiers = keyModifiers;
  c.focusLossQueued = focusLossQueued;
  return c;
}

SDL_Event key(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
  SDL_Event event{};
  event.type = type;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  event.key.repeat = repeat;
  return event;
}

SDL_Event motion(int x, int xrel) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = 20;
  event.motion.xrel = xrel;
  event.motion.state = SDL_BUTTON_LMASK;
  return event;
}

TEST(EventTranslationTest, KeysFollowWindowsRules) {
  // SDL's modifiers already include the event's own key: Alt's key-down carries KMOD_LALT, its
  // key-up no longer does.
  const struct {
    const char* what;
    SDL_Event event;
    Key message;  // {0, 0}: none
  } cases[] = {
      {"Shift", key(SDL_KEYDOWN, SDLK_RSHIFT), {WM_KEYDOWN, VK_SHIFT}},
      {"auto-repeat", key(SDL_KEYDOWN, SDLK_F2, KMOD_NONE, true), {WM_KEYDOWN, VK_F2}},
      {"a key up", key(SDL_KEYUP, SDLK_F1), {WM_KEYUP, VK_F1}},
      {"Alt with Shift",
       key(SDL_KEYDOWN, SDLK_LALT, KMOD_LSHIFT | KMOD_LALT),
       {WM_SYSKEYDOWN, VK_MENU}},
      {"Alt up with Shift", key(SDL_KEYUP, SDLK_LALT, KMOD_LSHIFT), {WM_SYSKEYUP, VK_MENU}},
      // Alt+F1: the key is a system key; Alt's release after it is a plain key-up.
      {"Alt of Alt+F1", key(SDL_KEYDOWN, SDLK_RALT, KMOD_RALT), {WM_SYSKEYDOWN, VK_MENU}},
      {"Alt+F1", key(SDL_KEYDOWN, SDLK_F1, KMOD_RALT), {WM_SYSKEYDOWN, VK_F1}},
      {"Alt+F1 up", key(SDL_KEYUP, SDLK_F1, KMOD_RALT), {WM_SYSKEYUP, VK_F1}},
      {"Alt up after F1", key(SDL_KEYUP, SDLK_RALT), {WM_KEYUP, VK_MENU}},
      {"F10", key(SDL_KEYDOWN, SDLK_F10), {WM_SYSKEYDOWN, VK_F10}},
      {"F10 up", key(SDL_KEYUP, SDLK_F10), {WM_SYSKEYUP, VK_F10}},
      {"Ctrl+Alt types ordinary keys",
       key(SDL_KEYDOWN, SDLK_F2, KMOD_LCTRL | KMOD_LALT),
       {WM_KEYDOWN, VK_F2}},
  };
  for (const auto& c : cases) {
    MSG message{};
    EXPECT_TRUE(translateSdlEvent(c.event, context(), &message)) << c.what;
    EXPECT_EQ(Key(message.message, message.wParam), c.message) << c.what;
  }
  MSG message{};
  ASSERT_TRUE(translateSdlEvent(key(SDL_KEYDOWN, SDLK_a, KMOD_LALT, true), context(), &message));
  EXPECT_EQ(0x60000001, message.lParam) << "repeated, with Alt held";
  // SDL lets go of every held key when the window loses the focus; Windows sends nothing then,
  // so Shift must stay held.
  EXPECT_FALSE(translateSdlEvent(key(SDL_KEYUP, SDLK_LSHIFT), context(KMOD_NONE, true), &message));
}

TEST(EventTranslationTest, MouseMessagesCarryExactFlagsAndStayOverTheWindow) {
  MSG message{};
  ASSERT_TRUE(translateSdlEvent(motion(10, 0), context(KMOD_LCTRL), &message));
  EXPECT_EQ(WM_MOUSEMOVE, message.message);
  EXPECT_EQ(MK_LBUTTON | MK_CONTROL, message.wParam);
  EXPECT_EQ(MAKELPARAM(10, 20), message.lParam);
  // Dragged out of the window: SDL clamps the move to the edge, its relative motion does not.
  EXPECT_FALSE(translateSdlEvent(motion(319, 390), context(), &message))
      << "a move from x = 10 to 400, out of the window";
  ASSERT_TRUE(translateSdlEvent(motion(319, -81), context(), &message))
      << "a move from x = 400 back onto the last column";
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
