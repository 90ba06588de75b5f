// The dataset commands of oculant-client: record stereo samples with ground truth at a list
// of poses, and write the camera pair's calibration.
#pragma once

#include <string>
#include <vector>

extern const char* const kRecordHelp;
extern const char* const kCalibrationHelp;

int record(const std::vector<std::string>& args);
int calibration(const std::vector<std::string>& args);
