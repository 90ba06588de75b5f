// record --evaluate: an algorithm's disparity results in a recorded dataset scored against the
// ground truth, as Middlebury's tables score them.
#pragma once

#include <string>

// Scores DATASET's samples' disp0<resultName>.pfm, and flow0<resultName>.flo where a sample
// holds one; the exit status.
int evaluateDataset(const std::string& dataset, const std::string& resultName);
