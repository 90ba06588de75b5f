// A client pose as the whole-pose record of the wire: what is not given goes as NaN, which the
// bench reads as "keep yours".
#pragma once

#include "oculant/ground_truth.h"
#include "wire/extension_messages.h"

namespace oculant {

inline FullPoseRecord fullPoseRecord(const Pose& pose) {
  return {{pose.x, pose.y, pose.heading}, pose.height, pose.pitch, pose.roll};
}

}  // namespace oculant
