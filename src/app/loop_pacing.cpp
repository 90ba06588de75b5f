#include "app/loop_pacing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
// A step is taken once more than 10 ms have passed since the reference.
constexpr uint32_t kStepDueMs = 11;

int remainingMs(uint32_t since, uint32_t now, uint32_t span) {
  const uint32_t elapsed = now - since;
  return elapsed >= span ? 0 : static_cast<int>(span - elapsed);
}
}  // namespace

bool loopPacingEnabled() {
  const char* setting = std::getenv("OCULANT_PACING");
  return !(setting && (std::strcmp(setting, "off") == 0 || std::strcmp(setting, "0") == 0));
}

int pacedWaitMs(uint32_t lastFrame, uint32_t now, bool driving, uint32_t reference) {
  int wait = remainingMs(lastFrame, now, kFrameIntervalMs);
  // A frame is due but nothing called for one: wait for something, up to a frame interval,
  // and no longer than until the refresh that is drawn whatever happens.
  if (wait == 0) {
    wait =
        std::min(static_cast<int>(kFrameIntervalMs), remainingMs(lastFrame, now, kIdleRefreshMs));
  }
  if (driving) {
    const int untilStep = remainingMs(reference, now, kStepDueMs);
    if (untilStep < wait) wait = untilStep;
  }
  return wait;
}
