#include "png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void putU32(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void appendChunk(std::string* out, const char* type, const std::string& data) {
  putU32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out->size();
  out->append(type, 4);
  out->append(data);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out->data() + start),
                          static_cast<uInt>(out->size() - start));
  putU32(out, static_cast<uint32_t>(crc));
}

// A PNG of height rows of rowBytes each; fillRow(y, row) writes the bytes of row y from the top.
// colourType 0 is grey, 2 RGB.
template <typename FillRow>
std::string encodeRows(int32_t width, int32_t height, size_t rowBytes, uint8_t bitDepth,
                       uint8_t colourType, FillRow fillRow) {
  // Each scanline: filter type 0, then the row.
  std::vector<Bytef> raw((rowBytes + 1) * height);
  for (int32_t y = 0; y < height; ++y) {
    Bytef* row = raw.data() + (rowBytes + 1) * y;
    row[0] = 0;
    fillRow(y, row + 1);
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  // The fastest level: it packs rendered frames about as small as the default level does, in
  // half the time, and a recording packs six images a sample.
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, raw.data(), raw.size(),
                Z_BEST_SPEED) != Z_OK) {
    return std::string();
  }
  packed.resize(packedSize);

  std::string header;
  putU32(&header, static_cast<uint32_t>(width));
  putU32(&header, static_cast<uint32_t>(height));
  header.push_back(static_cast<char>(bitDepth));
  header.push_back(static_cast<char>(colourType));
  header += std::string(3, '\0');  // deflate, no filter, no interlace
  std::string file("\x89PNG\r\n\x1a\n", 8);
  appendChunk(&file, "IHDR", header);
  appendChunk(&file, "IDAT", packed);
  appendChunk(&file, "IEND", std::string());
  return file;
}

bool writeBytes(const char* fileName, const std::string& file) {
  if (file.empty()) return false;
  FILE* out = std::fopen(fileName, "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::remove(fileName);
    return false;
  }
  return true;
}

}  // namespace

std::string encodePng(const uint8_t* pixels, int32_t width, int32_t stride, int32_t height) {
  if (width <= 0 || height <= 0 || stride < width * 3) return std::string();
  // The pixels turned from bottom-up BGR to top-down RGB.
  return encodeRows(width, height, static_cast<size_t>(width) * 3, 8, 2,
                    [&](int32_t y, Bytef* row) {
                      const uint8_t* source = pixels + static_cast<size_t>(height - 1 - y) * stride;
                      for (int32_t x = 0; x < width; ++x) {
                        row[3 * x] = source[3 * x + 2];
                        row[3 * x + 1] = source[3 * x + 1];
                        row[3 * x + 2] = source[3 * x];
                      }
                    });
}

bool writePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t stride,
              int32_t height) {
  return writeBytes(fileName, encodePng(pixels, width, stride, height));
}

bool writeGreyPng(const char* fileName, const std::vector<uint8_t>& values, int32_t width,
                  int32_t height) {
  if (width <= 0 || height <= 0 || values.size() != static_cast<size_t>(width) * height) {
    return false;
  }
  return writeBytes(fileName, encodeRows(width, height, width, 8, 0, [&](int32_t y, Bytef* row) {
                      const uint8_t* source =
                          values.data() + static_cast<size_t>(height - 1 - y) * width;
                      std::copy(source, source + width, row);
                    }));
}

bool writeGreyPng16(const char* fileName, const std::vector<uint16_t>& values, int32_t width,
                    int32_t height) {
  if (width <= 0 || height <= 0 || values.size() != static_cast<size_t>(width) * height) {
    return false;
  }
  const size_t rowBytes = static_cast<size_t>(width) * 2;
  return writeBytes(
      fileName, encodeRows(width, height, rowBytes, 16, 0, [&](int32_t y, Bytef* row) {
        const uint16_t* source = values.data() + static_cast<size_t>(height - 1 - y) * width;
        // PNG samples are big-endian.
        for (int32_t x = 0; x < width; ++x) {
          row[2 * x] = static_cast<Bytef>(source[x] >> 8);
          row[2 * x + 1] = static_cast<Bytef>(source[x] & 0xff);
        }
      }));
}
