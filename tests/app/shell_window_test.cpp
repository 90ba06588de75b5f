// The shell in one process on a real X server: a camera role's window created with the main
// window procedure, instance messages routed to the handler, and the loop ended by the close
// button through onClose, onDestroy (whose quit message finds the window itself) and WM_QUIT.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "app/input_state.h"
#include "app/lifecycle.h"
#include "app/main_loop.h"
#include "app/role_table.h"
#include "app/window_proc.h"
#include "messaging/instance_messages.h"
#include "panel/info_log.h"
#include "platform/sdl_windows.h"
#include "platform/window.h"
#include "scene/scene_state.h"

namespace {

class ShellWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/oculant-shell-window-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    setenv("OCULANT_RUNTIME_DIR", (folder + "/run").c_str(), 1);
    setenv("OCULANT_HEADLESS", "1", 1);
    std::ofstream(folder + "/config.txt") << "ALL=1\nOBJECT1=1\nOBJECT1_WIDTH=2\n"
                                             "OBJECT1_HEIGHT=2\nOBJECT1_R=1\n";
    ASSERT_EQ(chdir(folder.c_str()), 0);
    resetSceneState();
    resetInputState();
    clearInfoLog();
  }
  void TearDown() override {
    ASSERT_EQ(chdir("/"), 0);
    std::string command = "rm -rf '" + folder + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string folder;
};

TEST_F(ShellWindowTest, ACameraWindowLivesAndEndsThroughTheMainWindowProcedure) {
  // A camera role: the scene role would start further processes of this test program.
  role = ROLE_LEFT_CAMERA;
  const RoleWindow& row = roleWindowOf(role);
  ASSERT_TRUE(registerWindowClass(row.className, mainWindowProc));
  mainWindow = createWindow(row.className, row.title, row.x, row.y, row.width, row.height);
  ASSERT_NE(mainWindow, 0u);

  // onCreate: configuration, initial pose and GL context.
  EXPECT_EQ(sceneModel.objectCount, 1);
  EXPECT_EQ(rigPose.rigX, 0.7);
  EXPECT_EQ(rigPose.rigY, 0.7);
  EXPECT_EQ(rigPose.heading, 90.0);
  EXPECT_NE(glResources.renderContext, 0u);
  EXPECT_FLOAT_EQ(glResources.aspect, 320.0f / 240.0f);  // WM_SIZE reached the projection

  // Instance messages reach the handler through WM_COPYDATA.
  double heading = 45.0;
  COPYDATASTRUCT data = {MSG_HEADING, kHeadingPayloadSize, &heading};
  sendCopyData(mainWindow, 0, data);
  EXPECT_EQ(rigPose.heading, 45.0);

  // The close button: the loop ends with 0 and everything is released once.
  showWindow(mainWindow);
  SDL_Event close = {};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = SDL_GetWindowID(sdlWindowOf(mainWindow));
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  ASSERT_EQ(SDL_PushEvent(&close), 1);
  EXPECT_EQ(runMainLoop(), 0);
  EXPECT_EQ(glResources.renderContext, 0u);
  EXPECT_EQ(sdlWindowOf(mainWindow), nullptr);
  EXPECT_EQ(findWindow(row.className), 0u);
}

TEST_F(ShellWindowTest, ADriveStepMovesAlongTheHeadingAndLogsWithoutCameras) {
  role = ROLE_SCENE;
  rigPose = RigPose{0.7, 0.7, 90.0};
  advanceRig();
  EXPECT_NEAR(rigPose.rigX, 0.7, 1e-12);
  EXPECT_DOUBLE_EQ(rigPose.rigY, 0.75);
  EXPECT_EQ(std::strncmp(infoLog, "X=0.700\r\nY=0.750\r\n", 18), 0) << infoLog;

  rigPose.heading = 0.0;
  for (int step = 0; step < 20; ++step) advanceRig();
  EXPECT_NEAR(rigPose.rigX, 1.7, 1e-9);
  EXPECT_DOUBLE_EQ(rigPose.rigY, 0.75);
}

}  // namespace
