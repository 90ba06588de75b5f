// The real bench with a camera stopped (SIGSTOP, as a debugger or a loaded machine would hold it)
// while the scene sends it a command: the save or the quit reaches it once it runs again.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "oculant/client.h"
#include "real_bench.h"
#include "x_input.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class CommandDelivery : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench_.ok());
    scene_ = bench_.launch(&errors_);
    for (const char* className : {"oculant", "oculant1", "oculant2"})
      ASSERT_TRUE(waitForClass(className)) << className;
    left_ = pidOfWindow("oculant1");
    right_ = pidOfWindow("oculant2");
  }
  // The rows of a saved BMP, as a frame carries them.
  std::string savedRows(const char* name) {
    const std::string file = readFile(bench_.path() + "/" + name);
    return file.size() > 54 ? file.substr(54) : "";
  }
  bool saved(const char* name) { return !savedRows(name).empty(); }

  BenchFolder bench_;
  StderrText errors_;
  pid_t scene_ = 0, left_ = 0, right_ = 0;
  oculant::Client client_;
};

// F2 while the left camera is stopped and the rig then turned: once it runs again it writes the
// frame of the pose F2 was pressed at, so the two files are one stereo pair.
TEST_F(CommandDelivery, ASaveTheLeftCameraMissedIsWrittenAtItsPoseWhenItRunsAgain) {
  ASSERT_TRUE(xdotool({"search", "--sync", "--onlyvisible", "--classname", "^oculant2$"}));
  ASSERT_TRUE(focusWindowOfClass("oculant"));
  ASSERT_EQ(kill(left_, SIGSTOP), 0);
  ASSERT_TRUE(xdotool({"key", "F2"}));
  ASSERT_TRUE(waitUntil([&] { return saved("image2.bmp"); }));
  oculant::Client turner;
  turner.setTimeout(0.3);
  turner.setHeading(45, true);  // the stopped left camera fails it; the scene turns
  sleep(1);
  ASSERT_EQ(kill(left_, SIGCONT), 0);
  ASSERT_TRUE(waitUntil([&] { return saved("image1.bmp"); }, {}, 15)) << errors_.text();

  ASSERT_TRUE(client_.setHeading(90, true)) << client_.error();
  oculant::Frame left, right;
  ASSERT_TRUE(client_.grabPair(&left, &right)) << client_.error();
  const std::string leftRows(left.pixels.begin(), left.pixels.end());
  const std::string rightRows(right.pixels.begin(), right.pixels.end());
  EXPECT_TRUE(savedRows("image1.bmp") == leftRows) << "image1.bmp is not the pose of F2";
  EXPECT_TRUE(savedRows("image2.bmp") == rightRows) << "image2.bmp is not the pose of F2";
  EXPECT_EQ(errors_.text().find("not saved"), std::string::npos) << errors_.text();
}

// The bench closed while the left camera is stopped: it ends as soon as it runs again.
TEST_F(CommandDelivery, AQuitTheLeftCameraMissedEndsItWhenItRunsAgain) {
  ASSERT_EQ(kill(left_, SIGSTOP), 0);
  EXPECT_TRUE(client_.quit()) << client_.error();
  sleep(1);
  ASSERT_EQ(kill(left_, SIGCONT), 0);
  // The scene first: until it has ended, the cameras it started are its children.
  EXPECT_EQ(waitExit(scene_), 0);
  EXPECT_EQ(waitExit(left_, 15), 0);
  EXPECT_EQ(waitExit(right_), 0);
  EXPECT_EQ(errors_.untilClosed().find("did not take the quit"), std::string::npos)
      << errors_.text();
}

}  // namespace
