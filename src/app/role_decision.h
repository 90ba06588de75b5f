// Which role a new process takes: counted through the instance semaphore, refused when three
// instances have joined. A start whose counted role already has its window takes the first
// role whose window is missing, so a bench with a killed instance can be made whole again.
#pragma once

#include <cstdint>

#include "scene/scene_state.h"

constexpr int32_t kSemaphoreInitialCount = 1;
constexpr int32_t kSemaphoreMaximumCount = 10;

enum class RoleOutcome {
  TAKEN,         // *role is set; the process goes on to make its window
  ENDS_QUIETLY,  // nothing is wrong (the scene already runs): the process ends with 0
  REFUSED,       // "Too many program!" was shown: the process ends with 1
};

// Sets *role, or tells why the process must end now.
RoleOutcome determineRole(InstanceRole* role);
