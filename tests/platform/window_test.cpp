// Windows and the pump on a real X server: creation order, client size, lookups, sends to
// one's own window, idempotent destruction, quit and events through the pump.
#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/sdl_windows.h"

namespace {

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  std::string payload;
};

std::vector<Received> received;
bool destroyAgainOnDestroy = false;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Received entry{window, message, wParam, ""};
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    entry.payload.assign(static_cast<const char*>(data->lpData), data->cbData);
  }
  received.push_back(entry);
  if (message == WM_DESTROY && destroyAgainOnDestroy) destroyWindow(window);
  if (message == WM_COPYDATA) return 99;
  return defWindowProc(window, message, wParam, lParam);
}

std::vector<UINT> messagesOf(HWND window) {
  std::vector<UINT> messages;
  for (const Received& entry : received) {
    if (entry.window == window) messages.push_back(entry.message);
  }
  return messages;
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/oculant-window-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    setenv("OCULANT_RUNTIME_DIR", folder.c_str(), 1);
    ASSERT_TRUE(registerWindowClass("windowtest", recordingProc));
  }
  static void TearDownTestSuite() {
    std::string command = "rm -rf '" + folder + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  void SetUp() override {
    received.clear();
    destroyAgainOnDestroy = false;
  }

  // Pumps until the window has received the message; the X server delivers in its own time.
  bool pumpUntil(HWND window, UINT wanted, int passes = 2000) {
    for (int pass = 0; pass < passes; ++pass) {
      MSG message;
      if (peekMessage(&message)) dispatchMessage(message);
      for (const Received& entry : received) {
        if (entry.window == window && entry.message == wanted) return true;
      }
      SDL_Delay(1);
    }
    return false;
  }

  static std::string folder;
};
std::string WindowTest::folder;

TEST_F(WindowTest, CreationSendsCreateThenSizeAndTheWindowCanBeFound) {
  EXPECT_FALSE(registerWindowClass("windowtest", recordingProc)) << "registered twice";
  EXPECT_EQ(createWindow("unregistered", "x", 0, 0, 10, 10), 0u);

  HWND window = createWindow("windowtest", "Window test", 30, 40, 320, 240);
  ASSERT_NE(window, 0u);
  ASSERT_EQ(messagesOf(window), (std::vector<UINT>{WM_CREATE, WM_SIZE}));
  int width = 0, height = 0;
  ASSERT_TRUE(getClientRect(window, &width, &height));
  EXPECT_EQ(width, 320);  // no window manager: the client area is the whole window
  EXPECT_EQ(height, 240);
  EXPECT_EQ(findWindow("windowtest"), window);

  showWindow(window);
  SDL_Window* sdlWindow = sdlWindowOf(window);
  ASSERT_NE(sdlWindow, nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(sdlWindow), "Window test");
  int x = 0, y = 0;
  SDL_GetWindowPosition(sdlWindow, &x, &y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);

  // A send to one's own window reaches its procedure at once, with the sender in wParam.
  COPYDATASTRUCT data = {1002, 5, "hello"};
  EXPECT_EQ(sendCopyData(window, 777, data), 99);
  ASSERT_EQ(received.back().message, WM_COPYDATA);
  EXPECT_EQ(received.back().wParam, 777u);
  EXPECT_EQ(received.back().payload, "hello");
  EXPECT_EQ(sendCopyData(window + 1, 777, data), 0) << "no such window";

  received.clear();
  destroyAgainOnDestroy = true;  // as a quit message arriving during destruction does
  destroyWindow(window);
  destroyWindow(window);
  EXPECT_EQ(messagesOf(window), (std::vector<UINT>{WM_DESTROY}));
  EXPECT_EQ(findWindow("windowtest"), 0u);

  postQuitMessage(0);  // the quit message comes once
  MSG message = {};
  ASSERT_TRUE(peekMessage(&message));
  EXPECT_EQ(message.message, WM_QUIT);
  for (int pass = 0; pass < 50; ++pass)
    EXPECT_FALSE(peekMessage(&message) && message.message == WM_QUIT);
}

TEST_F(WindowTest, ThePumpTranslatesEventsForItsWindow) {
  HWND window = createWindow("windowtest", "Pump", 0, 0, 200, 100);
  ASSERT_NE(window, 0u);
  showWindow(window);
  Uint32 windowId = SDL_GetWindowID(sdlWindowOf(window));

  // A key-up that SDL makes because the focus goes is not a key-up for the window.
  SDL_Event keyUp = {};
  keyUp.type = SDL_KEYUP;
  keyUp.key.windowID = windowId;
  keyUp.key.keysym.sym = SDLK_LSHIFT;
  SDL_Event focusLost = {};
  focusLost.type = SDL_WINDOWEVENT;
  focusLost.window.windowID = windowId;
  focusLost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_Event close = focusLost;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  ASSERT_EQ(SDL_PushEvent(&keyUp), 1);
  ASSERT_EQ(SDL_PushEvent(&focusLost), 1);
  ASSERT_EQ(SDL_PushEvent(&close), 1);
  ASSERT_TRUE(pumpUntil(window, WM_CLOSE));
  for (UINT message : messagesOf(window)) EXPECT_NE(message, WM_KEYUP);

  // Without the focus loss behind it, the same key-up arrives.
  ASSERT_EQ(SDL_PushEvent(&keyUp), 1);
  ASSERT_TRUE(pumpUntil(window, WM_KEYUP));
  destroyWindow(window);
}

}  // namespace
