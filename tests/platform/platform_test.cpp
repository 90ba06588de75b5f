// On the null platform: the window bookkeeping every backend shares (message order on create
// and destroy, quit, and sends to this process's own windows and to others), and the role
// decision, where the count and the windows already there decide the role, scene first when an
// instance was killed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/role_decision.h"
#include "app/role_table.h"
#include "platform/null/null_platform.h"
#include "scene/scene_state.h"

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

TEST(RoleDecision, TheCountAndTheWindowsThereDecide) {
  const InstanceRole S = ROLE_SCENE, L = ROLE_LEFT_CAMERA, R = ROLE_RIGHT_CAMERA;
  const struct {
    const char* what;
    int32_t count;  // the semaphore's count before the start; -1: no semaphore yet
    std::vector<InstanceRole> windows;
    RoleOutcome outcome;
    InstanceRole role;  // when taken
    int32_t countAfter;
  } cases[] = {
      {"the first start", -1, {}, RoleOutcome::TAKEN, S, kSemaphoreInitialCount},
      {"beside a scene without semaphore", -1, {S}, RoleOutcome::ENDS_QUIETLY, S, -1},
      {"the second start", 1, {S}, RoleOutcome::TAKEN, L, 2},
      {"the third start", 2, {S, L}, RoleOutcome::TAKEN, R, 3},
      {"a fourth start", 3, {}, RoleOutcome::REFUSED, S, 3},
      // A killed instance's unit came back, so the count names a role whose window still runs.
      {"the scene killed", 1, {L}, RoleOutcome::TAKEN, S, 2},
      {"the left camera killed", 2, {S, R}, RoleOutcome::TAKEN, L, 3},
      {"every window there, the count short", 2, {S, L, R}, RoleOutcome::REFUSED, S, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    nullReset();
    if (c.count >= 0) nullMakeSemaphoreElsewhere(c.count, kSemaphoreMaximumCount);
    for (InstanceRole window : c.windows) nullAddPeer(roleWindowOf(window).className);
    InstanceRole role = ROLE_SCENE;
    EXPECT_EQ(determineRole(&role), c.outcome);
    if (c.outcome == RoleOutcome::TAKEN) {
      EXPECT_EQ(role, c.role);
    }
    EXPECT_EQ(instanceSemaphoreCount(), c.countAfter);
    EXPECT_FALSE(nullRoleDecisionHeld());
    const auto& boxes = nullMessageBoxes();
    ASSERT_EQ(boxes.size(), c.outcome == RoleOutcome::REFUSED ? 1u : 0u);
    if (boxes.empty()) continue;
    EXPECT_EQ(boxes[0].text, "Too many program!");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::ERROR_ICON);
  }
}

}  // namespace
