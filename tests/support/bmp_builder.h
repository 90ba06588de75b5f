// Hand-made BMP files and DIBs, built from the format's definition, for the cases that
// ImageMagick does not write (RLE4, bare DIBs, top-down rows, bit fields, broken files).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<uint8_t, 3>;

struct BmpLayout {
  uint32_t headerSize = 40;  // 12, 40, or another size for an unknown header
  bool fileHeader = true;    // false: a bare DIB
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<Rgb> palette;     // written as 3-byte (12-byte header) or 4-byte entries
  std::vector<uint32_t> masks;  // written right after the info header when not empty
  Bytes pixels;                 // the pixel bits as they go into the file
  int64_t offBitsDelta = 0;     // added to the true bfOffBits, to make a lying file
};

inline BmpLayout makeLayout(uint32_t headerSize, bool fileHeader, int32_t width, int32_t height,
                            uint16_t bitCount, uint32_t compression = 0, uint32_t colorsUsed = 0) {
  return {headerSize, fileHeader, width, height, bitCount, compression, colorsUsed, {}, {}, {}, 0};
}

Bytes buildBmp(const BmpLayout& layout);

// Rows of `bitCount`-bit pixels, bottom row first, each padded to 4 bytes. value(x, y) is a
// palette index for up to 8 bits, else the pixel's little-endian value (0xRRGGBB for 24).
Bytes packRows(int width, int height, int bitCount,
               const std::function<uint32_t(int x, int y)>& value);

void putU16(Bytes& bytes, uint32_t value);
void putU32(Bytes& bytes, uint32_t value);
