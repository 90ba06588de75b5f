// What differs between the roles at window level: title, class name (the instance's address
// for messages), position and outer size.
#pragma once

#include "scene/scene_state.h"

struct RoleWindow {
  const char* title;
  const char* className;
  int x;
  int y;
  int width;  // outer size, a window manager's frame included
  int height;
};

// The row of the role; roles outside the table get the scene's row.
const RoleWindow& roleWindowOf(InstanceRole instanceRole);
