#include "image/object_id_capture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "image/frame_capture.h"

namespace {

// The id's low bits go to red, the next ones to green. At most 8 bits a channel are used: that
// many survive any buffer and the conversions on the way in and out.
struct IdChannels {
  int redBits;
  int greenBits;
};

IdChannels idChannels() {
  GLint red = 0;
  GLint green = 0;
  glGetIntegerv(GL_RED_BITS, &red);
  glGetIntegerv(GL_GREEN_BITS, &green);
  return {std::min<int>(std::max<int>(red, 1), 8), std::min<int>(std::max<int>(green, 1), 8)};
}

}  // namespace

void setObjectIdColour(uint16_t id) {
  const IdChannels channels = idChannels();
  const unsigned redMax = (1u << channels.redBits) - 1;
  const unsigned greenMax = (1u << channels.greenBits) - 1;
  const unsigned red = id & redMax;
  const unsigned green = (id >> channels.redBits) & greenMax;
  // v / (2^n - 1) is stored as exactly v in an n-bit channel.
  glColor3f(static_cast<float>(red) / redMax, static_cast<float>(green) / greenMax, 0.0f);
}

bool captureObjectIds(std::vector<uint16_t>* ids, int width, int height) {
  ids->clear();
  if (width < 0 || height < 0 || width > kMaxCaptureSide || height > kMaxCaptureSide) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  ids->resize(count);
  if (count == 0) return true;
  // Read at 16 bits a channel, so that a channel of up to 16 bits comes back whole.
  std::vector<GLushort> rgb(count * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT, rgb.data());
  const IdChannels channels = idChannels();
  const double redMax = (1u << channels.redBits) - 1;
  const double greenMax = (1u << channels.greenBits) - 1;
  for (size_t i = 0; i < count; ++i) {
    const auto red = static_cast<unsigned>(std::lround(rgb[3 * i] * redMax / 65535.0));
    const auto green = static_cast<unsigned>(std::lround(rgb[3 * i + 1] * greenMax / 65535.0));
    (*ids)[i] = static_cast<uint16_t>(red | (green << channels.redBits));
  }
  return true;
}
