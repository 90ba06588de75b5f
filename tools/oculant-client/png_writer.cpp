#include "png_writer.h"

#include <zlib.h>

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

}  // namespace

std::string encodePng(const uint8_t* pixels, int32_t width, int32_t stride, int32_t height) {
  if (width <= 0 || height <= 0 || stride < width * 3) return std::string();
  // Each scanline: filter type 0, then the pixels turned from bottom-up BGR to top-down RGB.
  const size_t rowBytes = static_cast<size_t>(width) * 3 + 1;
  std::vector<Bytef> raw(rowBytes * height);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* source = pixels + static_cast<size_t>(height - 1 - y) * stride;
    Bytef* row = raw.data() + rowBytes * y;
    row[0] = 0;
    for (int32_t x = 0; x < width; ++x) {
      row[1 + 3 * x] = source[3 * x + 2];
      row[2 + 3 * x] = source[3 * x + 1];
      row[3 + 3 * x] = source[3 * x];
    }
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  if (compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, raw.data(), raw.size()) != Z_OK) {
    return std::string();
  }
  packed.resize(packedSize);

  std::string header;
  putU32(&header, static_cast<uint32_t>(width));
  putU32(&header, static_cast<uint32_t>(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string file("\x89PNG\r\n\x1a\n", 8);
  appendChunk(&file, "IHDR", header);
  appendChunk(&file, "IDAT", packed);
  appendChunk(&file, "IEND", std::string());
  return file;
}

bool writePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t stride,
              int32_t height) {
  const std::string file = encodePng(pixels, width, stride, height);
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
