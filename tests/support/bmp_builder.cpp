#include "bmp_builder.h"

void putU16(Bytes& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void putU32(Bytes& bytes, uint32_t value) {
  putU16(bytes, value);
  putU16(bytes, value >> 16);
}

Bytes buildBmp(const BmpLayout& layout) {
  Bytes info;
  putU32(info, layout.headerSize);
  if (layout.headerSize == 12) {
    putU16(info, static_cast<uint32_t>(layout.width));
    putU16(info, static_cast<uint32_t>(layout.height));
    putU16(info, 1);
    putU16(info, layout.bitCount);
  } else {
    putU32(info, static_cast<uint32_t>(layout.width));
    putU32(info, static_cast<uint32_t>(layout.height));
    putU16(info, 1);
    putU16(info, layout.bitCount);
    putU32(info, layout.compression);
    putU32(info, static_cast<uint32_t>(layout.pixels.size()));
    putU32(info, 0);
    putU32(info, 0);
    putU32(info, layout.colorsUsed);
    putU32(info, 0);
    info.resize(layout.headerSize, 0);
  }
  for (uint32_t mask : layout.masks) putU32(info, mask);
  for (const Rgb& entry : layout.palette) {
    info.push_back(entry[2]);
    info.push_back(entry[1]);
    info.push_back(entry[0]);
    if (layout.headerSize != 12) info.push_back(0);
  }
  Bytes out;
  if (layout.fileHeader) {
    const uint32_t offBits = static_cast<uint32_t>(14 + info.size() + layout.offBitsDelta);
    out = {'B', 'M'};
    putU32(out, static_cast<uint32_t>(14 + info.size() + layout.pixels.size()));
    putU32(out, 0);
    putU32(out, offBits);
  }
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  return out;
}

Bytes packRows(int width, int height, int bitCount,
               const std::function<uint32_t(int x, int y)>& value) {
  const size_t stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
  Bytes rows(stride * height, 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows.data() + y * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t v = value(x, y);
      if (bitCount <= 8) {
        const int bit = x * bitCount;
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bitCount - bit % 8));
      } else {
        for (int b = 0; b < bitCount / 8; ++b) row[x * bitCount / 8 + b] = v >> (8 * b) & 0xFF;
      }
    }
  }
  return rows;
}
