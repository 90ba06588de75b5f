// Pieces shared by the parts of the BMP decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp_decoder.h"

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

inline uint16_t readU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t readU32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The colour table as RGB triples; entries the file does not hold stay black.
struct BmpPalette {
  uint8_t rgb[256][3];
};

// Decodes an RLE8 (bitCount 8) or RLE4 (bitCount 4) stream into rgb, which holds width * height
// zeroed RGB pixels, bottom row first. Runs past a row's padding or past the last row are
// refused.
BmpStatus decodeBmpRle(const uint8_t* data, size_t size, int bitCount, const BmpPalette& palette,
                       int32_t width, int32_t height, uint8_t* rgb);
