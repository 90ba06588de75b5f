#include "app/drive_steps.h"

namespace {
constexpr uint32_t kStepMs = 10;
}

int countDriveSteps(uint32_t reference, uint32_t now, uint32_t* remainder) {
  uint32_t elapsed = now - reference;
  if (elapsed <= kStepMs) return 0;
  int steps = 0;
  while (elapsed > kStepMs) {
    ++steps;
    elapsed -= kStepMs;
  }
  *remainder = elapsed;
  return steps;
}

int driveStepsDue(DriveClock* clock, uint32_t now) {
  clock->remainder = 0;
  return countDriveSteps(clock->reference, now, &clock->remainder);
}

void driveStepsTaken(DriveClock* clock, uint32_t now) {
  clock->reference = now - clock->remainder;
}
