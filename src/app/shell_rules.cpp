#include "app/shell_rules.h"

#include <cmath>
#include <initializer_list>

#include "app/role_table.h"
#include "messaging/instance_messages.h"
#include "panel/info_log.h"
#include "platform/platform.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDistancePerStep = 0.05;
}  // namespace

void advanceRig(Instance& instance, HWND sender) {
  double radians = instance.rigPose.heading * kPi / 180;
  instance.rigPose.rigX += std::cos(radians) * kDistancePerStep;
  instance.rigPose.rigY += std::sin(radians) * kDistancePerStep;
  double position[2] = {instance.rigPose.rigX, instance.rigPose.rigY};
  instance.cameras->send(instance, MSG_RIG_XY, kRigXyPayloadSize, position, sender);
  logRigPose(instance.rigPose);
}

void startCameraInstances() {
  // A scene started where its cameras outlived the previous scene takes them over.
  for (const char* camera : {kLeftCameraClass, kRightCameraClass}) {
    if (findWindow(camera) == 0) startInstanceProcess();
  }
}

void onDestroy(Instance& instance, HWND window) {
  instance.destroyedWindow = window;
  waitInstanceSemaphore(1);
  instance.cameras->send(instance, MSG_QUIT, 0, nullptr, window);
  postQuitMessage(0);
}
