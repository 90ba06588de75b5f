// The role decision on the real platform.
#pragma once

#include "app/role_decision.h"

// decideRole on the platform's semaphore, windows and message box.
RoleOutcome determineRole();
