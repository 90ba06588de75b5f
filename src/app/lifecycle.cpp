#include "app/lifecycle.h"

#include "app/gl_frame_source.h"
#include "app/role_table.h"
#include "messaging/instance.h"
#include "panel/info_log.h"
#include "platform/platform.h"
#include "render/gl_setup.h"
#include "render/mesh_slots.h"
#include "render/texture_upload.h"
#include "scene/config_file.h"

namespace {

// A camera's client area is its eye image: the scene may set its size, else the window keeps
// the role table's size. A side the scene leaves out is the table's.
void sizeEyeImage(const Instance& instance, HWND window) {
  const RigSettings& rigSettings = instance.rigSettings;
  if (instance.role == ROLE_SCENE ||
      (rigSettings.cameraWidth == 0 && rigSettings.cameraHeight == 0)) {
    return;
  }
  const RoleWindow& table = roleWindowOf(instance.role);
  setClientSize(window, rigSettings.cameraWidth > 0 ? rigSettings.cameraWidth : table.width,
                rigSettings.cameraHeight > 0 ? rigSettings.cameraHeight : table.height);
}

}  // namespace

int onCreate(Instance& instance, HWND window) {
  // Set first: a quit can arrive while a box of the set-up below is up.
  instance.quitHandler = onClose;
  setFrameSource(instance, &glFrameSource());
  readConfigFile(instance.role, &instance.sceneModel, &instance.rigSettings);
  sizeEyeImage(instance, window);
  instance.rigPose = rigStartPose(instance.rigSettings);
  if (setUpGl(window, instance.role, instance.rigSettings, &instance.overviewView) == 0) {
    uploadTextures(instance.role, &instance.sceneModel, instance.imageSlots);
    uploadMeshes(instance.role, instance.sceneModel);
  }
  // A quit handled while an error box of the set-up was up has closed the window already:
  // nothing more is started for it.
  if (instance.role != ROLE_SCENE || !isWindow(window)) return 0;
  startCameraInstances();
  if (openInfoPanel(window)) setInfoPanelText(infoLog);
  return 0;
}

void onClose(HWND window) {
  tearDownGl(window);
  destroyWindow(window);
}
