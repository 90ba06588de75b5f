#include "scene/camera_view.h"

#include <cstring>

bool sameView(const CameraView& a, const CameraView& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
