// The files a stereo dataset is made of: disparity as PFM, and the camera pair's calibration
// as an OpenCV-style YAML file (cv::FileStorage reads it) and as a Middlebury-style calib.txt.
#pragma once

#include <string>
#include <vector>

#include "oculant/ground_truth.h"

namespace oculant {

// Writes a greyscale PFM ("Pf", scale -1.0: little-endian floats) of width x height values,
// rows from the bottom of the picture up, as the format stores them. False (with error set,
// when given, and no partial file left) when the file can't be written or values is too short.
bool writePfm(const std::string& fileName, int width, int height, const std::vector<float>& values,
              std::string* error = nullptr);

// Reads a greyscale PFM ("Pf", either byte order) into values, rows from the bottom up as the
// file stores them. False (with error naming the file and what is wrong) otherwise.
bool readPfm(const std::string& fileName, int* width, int* height, std::vector<float>* values,
             std::string* error = nullptr);

// A bound on the disparities of a view, as calib.txt's ndisp: more than the largest finite
// value, rounded up to a multiple of 16 (at least 16).
int disparityLevels(const std::vector<float>& disparity);

// How far off the same row the points of one view appear in the other: the mean and the largest
// |y in the other view - y in this one| over the pixels both eyes see (kMaskVisible in mask),
// from the view's depth. Both are 0 for a rectified pair.
struct VerticalDisparity {
  double average = 0;
  double largest = 0;
};
VerticalDisparity verticalDisparity(const DepthMap& depth, const CameraModel& camera,
                                    const CameraModel& other, const std::vector<uint8_t>& mask);

// What calib.txt states of a pair's disparities besides the cameras: ndisp (disparityLevels of
// both views), vmin and vmax (whole numbers bracketing every finite disparity of both views; 0
// and 0 when there is none), whether the disparities are whole numbers (isint: never, they are
// exact), and the left view's vertical disparity (dyavg, dymax).
struct DisparityBounds {
  int ndisp = 16;
  int vmin = 0;
  int vmax = 0;
  VerticalDisparity vertical;
};
DisparityBounds disparityBounds(const std::vector<float>& left, const std::vector<float>& right,
                                const VerticalDisparity& vertical);

// The calibration of a camera pair: intrinsics without distortion and the true extrinsics, R
// and T taking a point from the left camera's frame into the right one's (R the identity and T
// the baseline along -x for a rectified pair). The OpenCV file adds the rig pose, the eye height
// and the right eye's yaw, pitch and roll. calib.txt has every field of the Middlebury 2014
// format (cam0, cam1, doffs, baseline, width, height, ndisp, isint, vmin, vmax, dyavg, dymax);
// as that format knows rectified pairs only, a pair that is not gets R and T as extra lines
// ("R=[r11 r12 r13; ...]", "T=[tx ty tz]").
std::string openCvCalibration(const CameraModel& left, const CameraModel& right);
std::string middleburyCalibration(const CameraModel& left, const CameraModel& right,
                                  const DisparityBounds& bounds);

// Decimal text that reads back as the same double, no longer than needed ("2.3", not
// "2.2999999999999998").
std::string exactNumber(double value);

// Writes text to a file; false (with error set, no partial file left) on failure.
bool writeTextFile(const std::string& fileName, const std::string& text,
                   std::string* error = nullptr);

}  // namespace oculant
