#include "app/loop_pacing.h"

#include <gtest/gtest.h>
#include <stdlib.h>

TEST(LoopPacingTest, AnIdlePassWaitsForWhatIsLeftOfTheFrameOrUntilTheNextDriveStep) {
  // Not driving: the rest of the frame interval; once a frame is due, another interval but
  // not past the refresh a quarter second after the last frame, and none once that is due.
  EXPECT_EQ(pacedWaitMs(1000, 1000, false, 0), 16);
  EXPECT_EQ(pacedWaitMs(1000, 1010, false, 0), 6);
  EXPECT_EQ(pacedWaitMs(1000, 1016, false, 0), 16);
  EXPECT_EQ(pacedWaitMs(1000, 1240, false, 0), 10);
  EXPECT_EQ(pacedWaitMs(1000, 1250, false, 0), 0);
  EXPECT_EQ(pacedWaitMs(1000, 1500, false, 0), 0);
  // Driving: a step falls due once more than 10 ms passed since the reference.
  EXPECT_EQ(pacedWaitMs(1000, 1000, true, 1000), 11);
  EXPECT_EQ(pacedWaitMs(1000, 1004, true, 998), 5);
  EXPECT_EQ(pacedWaitMs(1000, 1004, true, 990), 0);
  EXPECT_EQ(pacedWaitMs(1000, 1100, true, 1095), 6);  // a frame is due but nothing changed
  EXPECT_EQ(pacedWaitMs(1000, 1014, true, 1010), 2);  // the frame is due first
  // The millisecond counter wraps.
  EXPECT_EQ(pacedWaitMs(0xFFFFFFFCu, 2, false, 0), 10);
  EXPECT_EQ(pacedWaitMs(0xFFFFFFFCu, 2, true, 0xFFFFFFFEu), 7);
}

TEST(LoopPacingTest, PacingIsOnUnlessTurnedOff) {
  unsetenv("OCULANT_PACING");
  EXPECT_TRUE(loopPacingEnabled());
  for (const char* off : {"off", "0"}) {
    setenv("OCULANT_PACING", off, 1);
    EXPECT_FALSE(loopPacingEnabled()) << off;
  }
  setenv("OCULANT_PACING", "on", 1);
  EXPECT_TRUE(loopPacingEnabled());
  unsetenv("OCULANT_PACING");
}
