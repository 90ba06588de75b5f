// Wall-clock helpers for the bench programs.
#pragma once

#include <time.h>

inline double nowSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Repeats body for about `seconds` (at least three times) and returns repetitions per second.
// body returns false to stop early; the rate then counts only the repetitions that succeeded.
template <typename Body>
double ratePerSecond(double seconds, Body body) {
  const double start = nowSeconds();
  long count = 0;
  double elapsed = 0;
  while (count < 3 || elapsed < seconds) {
    if (!body()) break;
    ++count;
    elapsed = nowSeconds() - start;
  }
  return elapsed > 0 ? static_cast<double>(count) / elapsed : 0;
}
