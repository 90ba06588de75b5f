// The files a stereo dataset is made of: disparity as PFM, and the camera pair's calibration
// as an OpenCV-style YAML file (cv::FileStorage reads it) and as a Middlebury-style calib.txt.
#pragma once

#include <string>
#include <vector>

#include "oculant/ground_truth.h"

namespace oculant {

// Writes a greyscale PFM ("Pf", scale -1.0: little-endian floats) of width x height values,
// rows from the bottom of the picture up, as the format stores them. False (with error set
// and no partial file left) when the file can't be written or values is too short.
bool writePfm(const std::string& fileName, int width, int height, const std::vector<float>& values,
              std::string* error);

// A bound on the disparities of a view, as calib.txt's ndisp: more than the largest finite
// value, rounded up to a multiple of 16 (at least 16).
int disparityLevels(const std::vector<float>& disparity);

// The calibration of a camera pair: intrinsics without distortion and the true extrinsics, R
// and T taking a point from the left camera's frame into the right one's (R the identity and T
// the baseline along -x for a rectified pair). The OpenCV file adds the rig pose, the eye height
// and the right eye's yaw, pitch and roll; calib.txt, whose format knows rectified pairs only,
// gets R and T as extra lines ("R=[r11 r12 r13; ...]", "T=[tx ty tz]") when the pair is not.
std::string openCvCalibration(const CameraModel& left, const CameraModel& right);
std::string middleburyCalibration(const CameraModel& left, const CameraModel& right, int ndisp);

// Decimal text that reads back as the same double, no longer than needed ("2.3", not
// "2.2999999999999998").
std::string exactNumber(double value);

// Writes text to a file; false (with error set, no partial file left) on failure.
bool writeTextFile(const std::string& fileName, const std::string& text, std::string* error);

}  // namespace oculant
