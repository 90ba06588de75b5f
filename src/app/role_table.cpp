#include "app/role_table.h"

#include "wire/wire_format.h"

namespace {

const RoleWindow kRoleWindows[] = {
    {"Oculant", kSceneClass, 0, 0, 800, 600},
    {"Camera 1 Left", kLeftCameraClass, 820, 0, 320, 240},
    {"Camera 2 Right", kRightCameraClass, 820, 260, 320, 240},
};

}  // namespace

const RoleWindow& roleWindowOf(InstanceRole instanceRole) {
  if (instanceRole < ROLE_SCENE || instanceRole > ROLE_RIGHT_CAMERA) return kRoleWindows[0];
  return kRoleWindows[instanceRole];
}
