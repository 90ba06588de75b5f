// The real bench with error boxes up: a texture named in config.txt is missing, so every
// instance shows the loader's box while its window is made, the window already listening. As
// under a modal box of the original platform, peers get their messages handled meanwhile instead
// of waiting out the send time-out, and a frame request or a quit handled inside the interrupted
// set-up breaks nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "x_input.h"

namespace {

const char* const kMissingTexture = "Error: Failed to open DIB file missing.bmp.";

// The X windows of the error boxes up. (This xdotool cannot search by a title stored as UTF-8,
// as SDL stores it: xwininfo can.)
std::vector<std::string> errorBoxes() {
  FILE* list = popen("xwininfo -root -children", "r");
  char line[512];
  std::vector<std::string> boxes;
  while (list && std::fgets(line, sizeof line, list)) {
    char id[32];
    if (std::strstr(line, " \"Error\": ") && std::sscanf(line, " %31s", id) == 1)
      boxes.push_back(id);
  }
  if (list) pclose(list);
  return boxes;
}

// Presses Enter in every error box up, as a user closing it would; true when there was one.
bool closeErrorBoxes() {
  bool closed = false;
  for (const std::string& id : errorBoxes()) {
    closed = xdotool({"key", "--window", id.c_str(), "Return"}) || closed;
  }
  return closed;
}

TEST(MessageBoxE2e, InstancesServeMessagesWhileTheirErrorBoxesAreUp) {
  BenchFolder bench("ALL=1\nOBJECT1=1\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=missing.bmp\n");
  ASSERT_TRUE(bench.ok());
  StderrText errors;
  bench.launch(&errors, true);
  ASSERT_GE(errors.waitForLine(kMissingTexture, 1), 1);

  oculant::Client client;
  const auto start = std::chrono::steady_clock::now();
  // Unserved, the heading waits out the send time-out and fails; nothing after it could pass.
  ASSERT_TRUE(client.setHeading(45, true)) << client.error();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  // With its box closed the scene starts the cameras, and each shows the same box; the scene
  // alone has said it on stderr, once for the bench.
  ASSERT_TRUE(waitUntil(closeErrorBoxes, [] { usleep(50000); }));
  ASSERT_TRUE(waitUntil([] { return errorBoxes().size() == 2; }, [] { usleep(50000); }));
  const std::vector<pid_t> instances = childProcesses();
  EXPECT_EQ(instances.size(), 3u);

  // The frame is drawn inside the camera's texture set-up.
  oculant::Frame frame;
  EXPECT_TRUE(client.grab(oculant::Eye::LEFT, &frame)) << client.error();
  EXPECT_EQ(frame.width, 320);
  EXPECT_EQ(frame.height, 240);

  // The cameras close their windows inside the set-up too, and with them their boxes: the
  // bench was closed, so every instance ends with 0, none kept alive by a box nobody closes,
  // and none reports a window it could not make.
  EXPECT_TRUE(client.quit()) << client.error();
  std::vector<int> exitCodes(instances.size(), -1);
  auto allEnded = [&] {
    for (size_t i = 0; i < instances.size(); ++i) {
      int status = 0;
      if (exitCodes[i] == -1 && waitpid(instances[i], &status, WNOHANG) == instances[i]) {
        exitCodes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    return std::count(exitCodes.begin(), exitCodes.end(), -1) == 0;
  };
  EXPECT_TRUE(waitUntil(allEnded, {}, 20));
  for (size_t i = 0; i < instances.size(); ++i)
    EXPECT_EQ(exitCodes[i], 0) << "pid " << instances[i];
  EXPECT_FALSE(closeErrorBoxes()) << "a box outlived its instance";
  const std::string text = errors.untilClosed();
  EXPECT_EQ(text.find("Error1001"), std::string::npos) << text;
  EXPECT_EQ(text.find(kMissingTexture, text.find(kMissingTexture) + 1), std::string::npos) << text;
}

}  // namespace
