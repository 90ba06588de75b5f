#include "app/lifecycle.h"

#include <initializer_list>

#include "messaging/instance_messages.h"
#include "panel/info_panel.h"
#include "platform/platform.h"
#include "render/gl_setup.h"
#include "scene/config_file.h"
#include "scene/scene_state.h"

HWND mainWindow = 0;

int onCreate(HWND window) {
  readConfigFile();
  rigPose = kStartPose;
  setUpGl(window);
  // A quit handled while an error box of the set-up was up has closed the window already:
  // nothing more is started for it.
  if (role != ROLE_SCENE || !isWindow(window)) return 0;
  startCameraInstances();
  openInfoPanel(window);
  return 0;
}

void onClose(HWND window) {
  tearDownGl(window);
  destroyWindow(window);
}

void onDestroy(HWND window) {
  waitInstanceSemaphore(1);
  sendToCameras(MSG_QUIT, 0, nullptr, window);
  postQuitMessage(0);
}

void startCameraInstances() {
  // A scene started where its cameras outlived the previous scene takes them over.
  for (const char* camera : {kLeftCameraClass, kRightCameraClass}) {
    if (findWindow(camera) == 0) startInstanceProcess();
  }
}
