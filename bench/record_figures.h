// Recording throughput: the real `oculant-client record` over a list of poses, as a user runs it.
#pragma once

#include <string>

// Samples per second that `tool record` writes from the bench running in this environment's
// runtime folder, at the cameras' current size, the list sized to take about `seconds`. Every
// pose differs from the one before, so every sample is drawn anew. 0 when a recording failed.
double measureRecording(const std::string& tool, double seconds);
