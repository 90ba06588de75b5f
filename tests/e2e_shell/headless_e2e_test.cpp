// The bench without an X server: started with no display in its environment it runs on SDL's
// offscreen driver, says nothing on stderr, serves the same frames as under X and ends on quit;
// started where there is no scene, it says so once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "test_bench.h"
#include "x_input.h"

namespace {

struct BenchRun {
  std::string folder;
  oculant::Frame left, right;
  std::string errors;
  int exitCode = -1;
};

// Starts the bench on the demo scene (or none) in a fresh folder, fetches the pair once both
// cameras answer, and ends it with quit. The display variables in force are the caller's.
BenchRun runOnDemoScene(bool withScene = true) {
  BenchRun run;
  PrivateRuntimeDir runtime;
  const std::string folder = run.folder = runtime.path() + "/scene";
  if (mkdir(folder.c_str(), 0700) != 0 || (withScene && !copyDemoScene(folder))) return run;
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

  // A folder without a scene: still a bench, with an empty scene, and one line that says why.
  const BenchRun empty = runOnDemoScene(false);
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.errors, "oculant: no config.txt in " + empty.folder + ": the scene is empty\n");
}

// All three instances read the scene's textures; a missing one is told once for the bench.
TEST(Headless, ATextureErrorIsReportedOnce) {
  BenchFolder bench("ALL=1\nOBJECT1=2\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=missing.bmp\n");
  ASSERT_TRUE(bench.ok());
  StderrText errors;
  const pid_t scene = bench.launch(&errors);
  oculant::Client client;
  oculant::Frame left, right;
  ASSERT_TRUE(
      waitUntil([&] { return client.grabPair(&left, &right); }, [] { usleep(100000); }, 30));
  client.quit();
  EXPECT_EQ(waitExit(scene), 0);
  const std::string text = errors.untilClosed();
  const size_t first = text.find("Error: ");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("Error: ", first + 1), std::string::npos) << text;
}

// The names the bench's windows listen under in its runtime folder.
std::vector<std::string> windowNames(const std::string& runtimeDir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(runtimeDir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("class.", 0) == 0 || name.rfind("window.", 0) == 0) names.push_back(name);
  }
  return names;
}

// Ctrl+C in a terminal signals all three processes; SIGTERM may reach the scene alone. Either
// way the bench ends as when its overview is closed: all three, with status 0, names removed.
TEST(Signals, CtrlCAndSigtermEndTheWholeBenchAndRemoveItsNames) {
  const std::vector<const char*> classes = {"oculant", "oculant1", "oculant2"};
  for (const bool wholeGroup : {true, false}) {
    BenchFolder bench;
    ASSERT_TRUE(bench.ok());
    bench.launch();
    std::vector<pid_t> pids;
    for (const char* className : classes) {
      ASSERT_TRUE(waitForClass(className)) << className;
      pids.push_back(pidOfWindow(className));
    }
    ASSERT_EQ(windowNames(bench.runtimeDir()).size(), 6u);
    for (const pid_t pid : pids) {
      if (wholeGroup || pid == pids[0]) kill(pid, wholeGroup ? SIGINT : SIGTERM);
    }
    for (size_t i = 0; i < pids.size(); ++i) {
      EXPECT_EQ(waitExit(pids[i]), 0)
          << classes[i] << (wholeGroup ? " after SIGINT" : " after SIGTERM");
    }
    EXPECT_EQ(windowNames(bench.runtimeDir()), std::vector<std::string>{})
        << (wholeGroup ? "SIGINT" : "SIGTERM");
  }
}

}  // namespace
