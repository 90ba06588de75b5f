#include <gtest/gtest.h>

#include "app/main_loop.h"

TEST(DriveStepsTest, StrictTenMillisecondStepsCarryTheRemainder) {
  struct Case {
    uint32_t elapsed;
    int steps;
    uint32_t remainder;  // 12345: left as it was
  };
  for (const Case& c : {Case{0, 0, 12345}, Case{10, 0, 12345}, Case{11, 1, 1}, Case{20, 1, 10},
                        Case{21, 2, 1}, Case{35, 3, 5}, Case{1001, 100, 1}}) {
    uint32_t remainder = 12345;
    EXPECT_EQ(countDriveSteps(5000, 5000 + c.elapsed, &remainder), c.steps) << c.elapsed;
    EXPECT_EQ(remainder, c.remainder) << c.elapsed;
  }
}

TEST(DriveStepsTest, ACounterThatWrapsKeepsCounting) {
  uint32_t remainder = 0;
  EXPECT_EQ(countDriveSteps(0xFFFFFFF0u, 0x00000013u, &remainder), 3);  // 35 ms across 2^32
  EXPECT_EQ(remainder, 5u);
  EXPECT_EQ(countDriveSteps(0xFFFFFFFFu, 0x00000009u, &remainder), 0);  // 10 ms across 2^32
}

TEST(DriveStepsTest, PassesAccountForAllElapsedTime) {
  // A loop that takes 7 ms per pass: every step is made, none twice.
  uint32_t reference = 0xFFFFFF00u;
  uint32_t now = reference;
  int steps = 0;
  for (int pass = 0; pass < 1000; ++pass) {
    now += 7;
    uint32_t remainder = 0;
    int taken = countDriveSteps(reference, now, &remainder);
    if (taken == 0) continue;
    steps += taken;
    reference = now - remainder;
  }
  EXPECT_EQ(steps, 699);  // 7000 ms, with 1 to 10 ms always carried
}
