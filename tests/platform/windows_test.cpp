// The window bookkeeping every backend shares, on the null platform: message order on create
// and destroy, quit, and sends to this process's own windows and to others.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/null/null_platform.h"

namespace {

std::vector<std::string> seen;  // "<message> <window>" as the procedure saw them
LRESULT createResult = 0;
bool foundDuringDestroy = false;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.push_back(std::to_string(message) + " " + std::to_string(window));
  if (message == WM_CREATE) return createResult;
  if (message == WM_SIZE) seen.back() += " " + std::to_string(lParam);
  if (message == WM_DESTROY) {
    foundDuringDestroy = findWindow("recorded") == window && !isWindow(window);
    destroyWindow(window);  // again, from inside: nothing more happens
  }
  if (message == WM_COPYDATA) return static_cast<LRESULT>(wParam) + 1;
  return 0;
}

class Windows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerWindowClass("recorded", recordingProc); }
  void SetUp() override {
    nullReset();
    seen.clear();
    createResult = 0;
  }
};

TEST_F(Windows, CreateSendsCreateThenSizeAndDestroySendsDestroyOnce) {
  const HWND window = createWindow("recorded", "title", 10, 20, 320, 240);
  ASSERT_NE(window, 0u);
  const std::string id = std::to_string(window);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "1 " + id, "5 " + id + " " + std::to_string(MAKELPARAM(320, 240))}));
  EXPECT_TRUE(isWindow(window));
  EXPECT_FALSE(registerWindowClass("recorded", recordingProc)) << "registered twice";

  seen.clear();
  destroyWindow(window);
  destroyWindow(window);
  EXPECT_EQ(seen, std::vector<std::string>{"2 " + id});
  EXPECT_TRUE(foundDuringDestroy);
  EXPECT_FALSE(isWindow(window));
  EXPECT_EQ(findWindow("recorded"), 0u);
}

TEST_F(Windows, AProcedureRefusingCreateLeavesNoWindow) {
  createResult = -1;
  EXPECT_EQ(createWindow("recorded", "title", 0, 0, 10, 10), 0u);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].substr(0, 2), "2 ") << "the refused window is destroyed";
  EXPECT_EQ(findWindow("recorded"), 0u);
}

TEST_F(Windows, TheQuitComesOnceWithItsExitCodeAfterQueuedInput) {
  MSG msg{};
  EXPECT_FALSE(peekMessage(&msg));
  const unsigned long before = inputEventsTaken();
  nullQueueInput(MSG{0, WM_KEYDOWN, VK_F1, 0});  // for no window: taken, but no message
  EXPECT_FALSE(peekMessage(&msg));
  EXPECT_EQ(inputEventsTaken(), before + 1);
  postQuitMessage(3);
  ASSERT_TRUE(peekMessage(&msg));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(peekMessage(&msg));
}

TEST_F(Windows, SendsReachOwnWindowsDirectlyAndOthersThroughTheBackend) {
  const HWND window = createWindow("recorded", "title", 0, 0, 10, 10);
  const COPYDATASTRUCT data = {1002, 0, nullptr};
  LRESULT result = 0;
  EXPECT_TRUE(sendCopyDataTimeout(window, 41, data, 50, &result));
  EXPECT_EQ(result, 42);
  EXPECT_TRUE(nullSentMessages().empty());

  const HWND peer = nullAddPeer("elsewhere");
  EXPECT_EQ(findWindow("elsewhere"), peer);
  EXPECT_TRUE(sendCopyDataTimeout(peer, window, data, 50));
  nullSetPeerAnswers(peer, false);
  EXPECT_FALSE(sendCopyDataTimeout(peer, window, data, 50));
  EXPECT_FALSE(sendCopyDataTimeout(peer + 1000, window, data, 50)) << "no such window";
  ASSERT_EQ(nullSentMessages().size(), 3u);
  EXPECT_EQ(nullSentMessages()[0].target, peer);
  EXPECT_EQ(nullSentMessages()[0].sender, window);
  EXPECT_EQ(nullSentMessages()[0].timeoutMs, 50);
  destroyWindow(window);
}

}  // namespace
