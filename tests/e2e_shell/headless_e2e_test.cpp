// The bench without an X server: started with no display in its environment it runs on SDL's
// offscreen driver, says nothing on stderr, serves the same frames as under X and ends on quit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "x_input.h"

namespace {

struct BenchRun {
  oculant::Frame left, right;
  std::string errors;
  int exitCode = -1;
};

// Starts the bench on the demo scene in a fresh folder, fetches the pair once both cameras
// answer, and ends it with quit. The display variables in force are the caller's.
BenchRun runOnDemoScene() {
  BenchRun run;
  PrivateRuntimeDir runtime;
  const std::string folder = runtime.path() + "/scene";
  if (mkdir(folder.c_str(), 0700) != 0 || !copyDemoScene(folder)) return run;
  StderrText errors;
  const pid_t scene = launchBench(folder, "", errors.fd());
  oculant::Client client;
  client.setTimeout(5);
  waitUntil([&] { return client.grabPair(&run.left, &run.right); }, [] { usleep(100000); }, 30);
  client.quit();
  run.exitCode = waitExit(scene);
  run.errors = errors.untilClosed();
  return run;
}

TEST(Headless, ServesTheFramesOfXQuietlyAndEndsOnQuit) {
  adoptOrphans();
  const BenchRun underX = runOnDemoScene();
  ASSERT_EQ(underX.exitCode, 0) << underX.errors;

  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const BenchRun headless = runOnDemoScene();
  setenv("DISPLAY", display.c_str(), 1);

  EXPECT_EQ(headless.exitCode, 0);
  EXPECT_EQ(headless.errors, "");
  ASSERT_EQ(headless.left.width, 320);
  ASSERT_EQ(headless.right.width, 320);
  EXPECT_EQ(headless.left.height, underX.left.height);
  EXPECT_TRUE(headless.left.pixels == underX.left.pixels) << "left frame differs from X's";
  EXPECT_TRUE(headless.right.pixels == underX.right.pixels) << "right frame differs from X's";
}

}  // namespace
