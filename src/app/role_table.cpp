#include "app/role_table.h"

namespace {

const RoleWindow kRoleWindows[] = {
    {"Oculant", "oculant", 0, 0, 800, 600},
    {"Camera 1 Left", "oculant1", 820, 0, 320, 240},
    {"Camera 2 Right", "oculant2", 820, 260, 320, 240},
};

}  // namespace

const RoleWindow& roleWindowOf(InstanceRole instanceRole) {
  if (instanceRole < ROLE_SCENE || instanceRole > ROLE_RIGHT_CAMERA) return kRoleWindows[0];
  return kRoleWindows[instanceRole];
}
