#include "image/object_id_capture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "image/frame_capture.h"

#ifndef GL_RG
#define GL_RG 0x8227
#endif

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

namespace {

// Reads the red and green bytes of every pixel into pairs, red first. Two bytes a pixel come
// straight into the ids' own memory, with no buffer of four bytes a pixel to fill and walk;
// a GL that cannot read two channels (before 3.0) gets the four-channel read.
void readRedGreen(uint8_t* pairs, int width, int height) {
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glReadPixels(0, 0, width, height, GL_RG, GL_UNSIGNED_BYTE, pairs);
  if (glGetError() == GL_NO_ERROR) return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<GLubyte> rgba(count * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (size_t i = 0; i < count; ++i) {
    pairs[2 * i] = rgba[4 * i];
    pairs[2 * i + 1] = rgba[4 * i + 1];
  }
}

}  // namespace

bool captureObjectIds(std::vector<uint16_t>* ids, int width, int height) {
  ids->clear();
  if (width < 0 || height < 0 || width > kMaxCaptureSide || height > kMaxCaptureSide) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  ids->resize(count);
  if (count == 0) return true;
  // At most 8 bits a channel carry the id, so bytes lose none of it.
  uint8_t* pairs = reinterpret_cast<uint8_t*>(ids->data());
  readRedGreen(pairs, width, height);
  const IdChannels channels = idChannels();
  // Each byte back to the channel value it was rounded from, once for all pixels.
  uint16_t red[256];
  uint16_t green[256];
  for (int byte = 0; byte < 256; ++byte) {
    red[byte] = static_cast<uint16_t>(std::lround(byte * ((1 << channels.redBits) - 1) / 255.0));
    green[byte] = static_cast<uint16_t>(std::lround(byte * ((1 << channels.greenBits) - 1) / 255.0)
                                        << channels.redBits);
  }
  // In place: pixel i's id takes the two bytes its red and green were read into.
  for (size_t i = 0; i < count; ++i) {
    (*ids)[i] = static_cast<uint16_t>(red[pairs[2 * i]] | green[pairs[2 * i + 1]]);
  }
  return true;
}
