#include "sample_check.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <utility>

namespace {

std::string sizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// Pixels whose depth disagrees with their id, and the first of them from the top.
struct Mismatch {
  size_t count = 0;
  int column = 0;
  int row = 0;
};

std::string viewFault(const char* eye, const oculant::Capture& view, int width, int height) {
  const std::string name = std::string("the ") + eye + " ";
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (view.colour.width != width || view.colour.height != height) {
    return name + "frame is " + sizeText(view.colour.width, view.colour.height) +
           ", not the rig's " + sizeText(width, height);
  }
  if (view.depth.width != width || view.depth.height != height ||
      view.depth.values.size() != pixels) {
    return name + "depth map does not have the frame's size";
  }
  if (view.objectIds.width != width || view.objectIds.height != height ||
      view.objectIds.values.size() != pixels) {
    return name + "object ids do not have the frame's size";
  }
  Mismatch surfaceWithoutDepth, depthWithoutSurface;
  for (int row = 0; row < height; ++row) {
    // Both maps are stored bottom row first; rows count from the top.
    const size_t rowStart = static_cast<size_t>(height - 1 - row) * width;
    const float* depths = view.depth.values.data() + rowStart;
    const uint16_t* ids = view.objectIds.values.data() + rowStart;
    for (int column = 0; column < width; ++column) {
      const float depth = depths[column];
      const bool hasDepth = std::isfinite(depth) && depth > 0;
      const bool surface = ids[column] != 0;
      if (hasDepth == surface) continue;
      Mismatch& mismatch = surface ? surfaceWithoutDepth : depthWithoutSurface;
      if (mismatch.count++ == 0) mismatch.column = column, mismatch.row = row;
    }
  }
  for (const auto& [mismatch, what] :
       {std::make_pair(&surfaceWithoutDepth, "no depth at %zu pixels that show a surface"),
        std::make_pair(&depthWithoutSurface, "depth at %zu pixels that show no surface")}) {
    if (mismatch->count == 0) continue;
    char text[160];
    std::snprintf(text, sizeof text, what, mismatch->count);
    return name + "view has " + text + " (the first at column " + std::to_string(mismatch->column) +
           ", row " + std::to_string(mismatch->row) + " from the top)";
  }
  return "";
}

}  // namespace

std::string sampleFault(const oculant::StereoCapture& pair, int width, int height) {
  std::string fault = viewFault("left", pair.left, width, height);
  if (fault.empty()) fault = viewFault("right", pair.right, width, height);
  return fault;
}
