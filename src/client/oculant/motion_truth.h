// Motion between two poses of the rig over the bench's static scene: where the surface point
// each pixel of an eye sees lies in the same eye at the next pose (optical flow), and how its
// disparity changes. Both follow from the eye's depth at the first pose, the two camera models
// and, to tell which points the next pose still sees, the depth at the next pose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "oculant/ground_truth.h"

namespace oculant {

// Flow no pixel has: the .flo format takes any value above 1e9 for "unknown".
constexpr float kUnknownFlow = 1e10f;

// Optical flow of one view: for every pixel the motion (u to the right, v downwards, in pixels)
// of what it sees, as pairs (u, v) in rows from the top row down, as .flo files store them.
struct FlowField {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> values;  // 2 * width * height

  // True when the flow of the pixel at column x of row y (from the top) is known.
  bool known(int x, int y) const;
};

// The motion truth of one eye between two poses.
struct MotionTruth {
  FlowField flow;
  // The disparity the next pose gives the same surface point minus the one this pose gives it,
  // laid out as the depth map (bottom row first); +infinity where unknown.
  std::vector<float> disparityChange;
};

// Where the point that pixel (x, y) of one camera sees at the given depth lies in another camera
// of the same scene, at any pose: its pixel position and its depth along that camera's axis.
// False when the point does not lie in front of the other camera.
bool projectBetweenPoses(const CameraModel& from, const CameraModel& to, double x, double y,
                         double depth, EyePoint* seen);

// The motion of one eye from `camera` (its depth `depth`, its partner `other` of the same pose)
// to `next` (the same eye at the next pose, its depth `nextDepth`, its partner `nextOther`).
// A pixel has motion when it sees a surface, and that point lies in the next view and is not
// hidden there by a nearer surface (decided against nextDepth, within the depth buffer's
// precision as the occlusion masks decide); every other pixel's flow is kUnknownFlow and its
// disparity change +infinity.
MotionTruth motionTruth(const DepthMap& depth, const CameraModel& camera, const CameraModel& other,
                        const DepthMap& nextDepth, const CameraModel& next,
                        const CameraModel& nextOther);

// Writes a Middlebury .flo file ("PIEH", width, height, then the pairs as little-endian floats).
// False (with error set, when given, and no partial file left) when it cannot be written.
bool writeFlo(const std::string& fileName, const FlowField& flow, std::string* error = nullptr);

// Reads a .flo file. False (with error naming the file and what is wrong) otherwise.
bool readFlo(const std::string& fileName, FlowField* flow, std::string* error = nullptr);

}  // namespace oculant
