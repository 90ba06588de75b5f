#include "image/bmp_decoder.h"

#include <cstdlib>
#include <cstring>

#include "image/bmp_rle.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

// What the headers say, checked against the file before any pixel is read.
struct BmpLayout {
  int64_t width;
  int64_t height;  // rows, positive
  bool topDown;
  int bitCount;
  uint32_t compression;
  uint32_t masks[3];  // red, green, blue, for direct-colour pixels
  BmpPalette palette;
  uint64_t pixelOffset;
};

uint32_t tableEntriesForBitCount(int bitCount) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

bool validCombination(int bitCount, uint32_t compression, bool topDown) {
  switch (compression) {
    case BI_RGB:
      return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
             bitCount == 32;
    case BI_RLE8:  // the format has no top-down RLE images
      return bitCount == 8 && !topDown;
    case BI_RLE4:
      return bitCount == 4 && !topDown;
    case BI_BITFIELDS:
      return bitCount == 16 || bitCount == 32;
    default:
      return false;
  }
}

BmpStatus readLayout(const uint8_t* bytes, size_t length, BmpLayout* layout) {
  const bool isFile = length >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
  const size_t headerAt = isFile ? kFileHeaderSize : 0;
  if (length < headerAt + 4) return BmpStatus::CONVERSION_ERROR;
  const uint8_t* header = bytes + headerAt;
  const uint32_t headerSize = readU32(header);
  if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize) return BmpStatus::UNKNOWN_FORMAT;
  if (length - headerAt < headerSize) return BmpStatus::CONVERSION_ERROR;

  uint64_t entries;
  uint64_t entrySize;
  if (headerSize == kCoreHeaderSize) {
    layout->width = readU16(header + 4);
    layout->height = readU16(header + 6);
    layout->topDown = false;
    layout->bitCount = readU16(header + 10);
    layout->compression = BI_RGB;
    entries = tableEntriesForBitCount(layout->bitCount);
    entrySize = 3;
  } else {
    const int32_t height = static_cast<int32_t>(readU32(header + 8));
    layout->width = static_cast<int32_t>(readU32(header + 4));
    layout->height = height < 0 ? -static_cast<int64_t>(height) : height;
    layout->topDown = height < 0;
    layout->bitCount = readU16(header + 14);
    layout->compression = readU32(header + 16);
    const uint32_t colorsUsed = readU32(header + 32);
    entries = colorsUsed != 0 ? colorsUsed : tableEntriesForBitCount(layout->bitCount);
    entrySize = 4;
  }

  if (layout->width <= 0 || layout->height <= 0 || layout->width > kMaxBmpSide ||
      layout->height > kMaxBmpSide || layout->width * layout->height > kMaxBmpPixels ||
      !validCombination(layout->bitCount, layout->compression, layout->topDown)) {
    return BmpStatus::CONVERSION_ERROR;
  }

  // With a 40-byte header, BI_BITFIELDS masks sit between the header and the colour table.
  uint64_t tableAt = headerAt + headerSize;
  if (layout->compression == BI_BITFIELDS) {
    if (length < tableAt + 12) return BmpStatus::CONVERSION_ERROR;
    for (int c = 0; c < 3; ++c) layout->masks[c] = readU32(bytes + tableAt + 4 * c);
    tableAt += 12;
  } else if (layout->bitCount == 16) {
    layout->masks[0] = 0x7C00;
    layout->masks[1] = 0x03E0;
    layout->masks[2] = 0x001F;
  } else {
    layout->masks[0] = 0xFF0000;
    layout->masks[1] = 0x00FF00;
    layout->masks[2] = 0x0000FF;
  }
  const uint64_t tableEnd = tableAt + entries * entrySize;
  if (tableEnd > length) return BmpStatus::CONVERSION_ERROR;

  std::memset(&layout->palette, 0, sizeof layout->palette);
  const uint64_t kept = entries < 256 ? entries : 256;
  for (uint64_t i = 0; i < kept; ++i) {
    const uint8_t* entry = bytes + tableAt + i * entrySize;
    layout->palette.rgb[i][0] = entry[2];
    layout->palette.rgb[i][1] = entry[1];
    layout->palette.rgb[i][2] = entry[0];
  }

  layout->pixelOffset = isFile ? readU32(bytes + 10) : tableEnd;
  if (layout->pixelOffset > length) return BmpStatus::CONVERSION_ERROR;
  return BmpStatus::OK;
}

// One colour channel of a direct-colour pixel, widened to 8 bits by repeating its bits.
struct Channel {
  uint32_t mask;
  int shift;
  int bits;
};

Channel channelForMask(uint32_t mask) {
  if (mask == 0) return {0, 0, 0};
  int shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  int top = 31;
  while (!(mask >> top & 1)) --top;
  return {mask, shift, top - shift + 1};
}

uint8_t channelValue(uint32_t pixel, const Channel& channel) {
  if (channel.bits == 0) return 0;
  const uint32_t value = (pixel & channel.mask) >> channel.shift;
  if (channel.bits >= 8) return static_cast<uint8_t>(value >> (channel.bits - 8));
  uint32_t widened = 0;
  int filled = 0;
  while (filled < 8) {
    widened = widened << channel.bits | value;
    filled += channel.bits;
  }
  return static_cast<uint8_t>(widened >> (filled - 8));
}

void decodeRow(const BmpLayout& layout, const Channel* channels, const uint8_t* source,
               uint8_t* out) {
  const int bits = layout.bitCount;
  for (int64_t x = 0; x < layout.width; ++x, out += 3) {
    if (bits <= 8) {
      const int64_t bitPos = x * bits;
      const int shift = 8 - bits - static_cast<int>(bitPos % 8);
      const int index = source[bitPos / 8] >> shift & ((1 << bits) - 1);
      std::memcpy(out, layout.palette.rgb[index], 3);
    } else if (bits == 24) {
      const uint8_t* pixel = source + x * 3;
      out[0] = pixel[2];
      out[1] = pixel[1];
      out[2] = pixel[0];
    } else {
      const uint32_t pixel = bits == 16 ? readU16(source + x * 2) : readU32(source + x * 4);
      for (int c = 0; c < 3; ++c) out[c] = channelValue(pixel, channels[c]);
    }
  }
}

BmpStatus decodeUncompressed(const uint8_t* bytes, size_t length, const BmpLayout& layout,
                             uint8_t* rgb) {
  const uint64_t sourceStride =
      (static_cast<uint64_t>(layout.width) * layout.bitCount + 31) / 32 * 4;
  if (sourceStride * layout.height > length - layout.pixelOffset) return BmpStatus::CONVERSION_ERROR;
  const Channel channels[3] = {channelForMask(layout.masks[0]), channelForMask(layout.masks[1]),
                               channelForMask(layout.masks[2])};
  for (int64_t row = 0; row < layout.height; ++row) {
    const int64_t sourceRow = layout.topDown ? layout.height - 1 - row : row;
    decodeRow(layout, channels, bytes + layout.pixelOffset + sourceRow * sourceStride,
              rgb + row * layout.width * 3);
  }
  return BmpStatus::OK;
}

}  // namespace

BmpStatus decodeBmp(const uint8_t* bytes, size_t length, DecodedBmp* image) {
  *image = {0, 0, nullptr};
  BmpLayout layout;
  const BmpStatus status = readLayout(bytes, length, &layout);
  if (status != BmpStatus::OK) return status;

  const size_t size = static_cast<size_t>(layout.width * layout.height * 3);
  uint8_t* rgb = static_cast<uint8_t*>(std::calloc(size, 1));
  if (rgb == nullptr) return BmpStatus::OUT_OF_MEMORY;
  const uint8_t* pixels = bytes + layout.pixelOffset;
  const size_t pixelBytes = length - layout.pixelOffset;
  const int32_t width = static_cast<int32_t>(layout.width);
  const int32_t height = static_cast<int32_t>(layout.height);
  const BmpStatus decoded =
      layout.compression == BI_RLE8 || layout.compression == BI_RLE4
          ? decodeBmpRle(pixels, pixelBytes, layout.bitCount, layout.palette, width, height, rgb)
          : decodeUncompressed(bytes, length, layout, rgb);
  if (decoded != BmpStatus::OK) {
    std::free(rgb);
    return decoded;
  }
  *image = {width, height, rgb};
  return BmpStatus::OK;
}
