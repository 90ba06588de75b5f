#include "app/lifecycle.h"

#include <initializer_list>

#include "messaging/instance_messages.h"
#include "panel/info_log.h"
#include "platform/platform.h"
#include "render/gl_setup.h"
#include "render/texture_upload.h"
#include "scene/config_file.h"
#include "scene/scene_state.h"

HWND mainWindow = 0;

int onCreate(HWND window) {
  // Set first: a quit can arrive while a box of the set-up below is up.
  setQuitHandler(onClose);
  readConfigFile();
  rigPose = kStartPose;
  if (setUpGl(window) == 0) uploadTextures();
  // A quit handled while an error box of the set-up was up has closed the window already:
  // nothing more is started for it.
  if (role != ROLE_SCENE || !isWindow(window)) return 0;
  startCameraInstances();
  if (openInfoPanel(window)) setInfoPanelText(infoLog);
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
