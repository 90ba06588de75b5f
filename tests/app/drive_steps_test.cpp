#include "app/drive_steps.h"

#include <gtest/gtest.h>

// Steps of strictly more than 10 ms each, the rest carried to the next pass, across the wrap of
// the millisecond counter too.
TEST(DriveStepsTest, StepsCarryTheRemainderAndSurviveTheWrap) {
  const uint32_t cases[][4] = {{5000, 5010, 0, 12345}, {5000, 5011, 1, 1},
                               {5000, 5020, 1, 10},    {5000, 5021, 2, 1},
                               {5000, 5035, 3, 5},     {0xFFFFFFF0u, 0x13u, 3, 5}};
  for (const auto& c : cases) {
    uint32_t remainder = 12345;  // left as it was when no step is due
    EXPECT_EQ(countDriveSteps(c[0], c[1], &remainder), int(c[2])) << c[1] - c[0];
    EXPECT_EQ(remainder, c[3]) << c[1] - c[0];
  }
}

// The remainder of one pass is carried into the next, counted from when the steps ended: 35 ms
// give 3 steps, and 6 ms more make the carried 5 a step; waiting on the cameras counts for none.
TEST(DriveStepsTest, TheClockCarriesTheRemainderFromTheEndOfTheSteps) {
  DriveClock clock = {1000, 0};
  EXPECT_EQ(driveStepsDue(&clock, 1035), 3);
  driveStepsTaken(&clock, 1050);
  EXPECT_EQ(clock.reference, 1045u);
  EXPECT_EQ(driveStepsDue(&clock, 1055), 0);
  EXPECT_EQ(driveStepsDue(&clock, 1056), 1);
}
