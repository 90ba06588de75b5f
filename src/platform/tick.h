// The stand-in for GetTickCount.
#pragma once

#include <cstdint>

// Milliseconds of CLOCK_MONOTONIC, wrapping around at 2^32 as the Windows counter does.
uint32_t tickCount();
