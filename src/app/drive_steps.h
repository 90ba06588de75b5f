// How far the rig drives: elapsed time counted in 10 ms steps.
#pragma once

#include <cstdint>

// The 10 ms steps that the time from reference to now (unsigned, so a wrapping counter works)
// allows. At most 10 ms elapsed gives 0 steps and the reference stays as it was; otherwise
// the steps are taken while more than 10 ms remain, and *remainder gets what is left
// (1 to 10 ms) to carry into the next reference.
int countDriveSteps(uint32_t reference, uint32_t now, uint32_t* remainder);

// The main loop's account of elapsed drive time: reference is the time up to which it counted.
struct DriveClock {
  uint32_t reference;
  uint32_t remainder;  // of the last steps due, carried into the next reference
};

// The steps due at now (countDriveSteps from the clock's reference).
int driveStepsDue(DriveClock* clock, uint32_t now);

// After the steps due have run, at now: the reference becomes now less the remainder carried,
// so time spent inside the steps (waiting on the cameras) is not counted as elapsed.
void driveStepsTaken(DriveClock* clock, uint32_t now);
