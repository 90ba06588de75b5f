#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "image/frame_capture.h"

namespace {

constexpr uint32_t kHeadersSize = 54;

void putU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void putU32(uint8_t* at, uint32_t value) {
  putU16(at, value);
  putU16(at + 2, value >> 16);
}

// The 14-byte file header followed by the 40-byte info header of an uncompressed 24-bit image.
void fillHeaders(uint8_t* header, const CaptureImage& image, uint32_t imageBytes) {
  for (uint32_t i = 0; i < kHeadersSize; ++i) header[i] = 0;
  header[0] = 'B';
  header[1] = 'M';
  putU32(header + 2, kHeadersSize + imageBytes);
  putU32(header + 10, kHeadersSize);
  putU32(header + 14, 40);
  putU32(header + 18, static_cast<uint32_t>(image.width));
  putU32(header + 22, static_cast<uint32_t>(image.height));
  putU16(header + 26, 1);
  putU16(header + 28, 24);
  putU32(header + 34, imageBytes);
}

bool isRegularFile(FILE* file) {
  struct stat info;
  return fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

int32_t strideForWidth(int32_t width) {
  if (width <= 0) return 0;
  const int64_t rowBytes = int64_t{width} * 3;
  return static_cast<int32_t>((rowBytes + 3) / 4 * 4);
}

int writeBmp(const char* fileName, CaptureImage image) {
  if (image.width < 0 || image.height < 0 || image.stride < int64_t{image.width} * 3) return 1;
  const uint64_t imageBytes = static_cast<uint64_t>(image.stride) * image.height;
  if (imageBytes > UINT32_MAX - kHeadersSize) return 1;  // bfSize could not hold the length
  if (imageBytes > 0 && image.pixels == nullptr) return 1;

  uint8_t header[kHeadersSize];
  fillHeaders(header, image, static_cast<uint32_t>(imageBytes));
  FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return 1;
  bool written = std::fwrite(header, 1, 14, file) == 14 &&
                 std::fwrite(header + 14, 1, 40, file) == 40 &&
                 (imageBytes == 0 || std::fwrite(image.pixels, 1, imageBytes, file) == imageBytes);
  // A full disk must not leave a cut-off file behind that looks like a saved frame. Only a
  // regular file is removed: a device or pipe under that name stays.
  const bool removable = isRegularFile(file);
  written = std::fclose(file) == 0 && written;
  if (!written) {
    if (removable) std::remove(fileName);
    return 1;
  }
  return 0;
}

void freeCaptureImage(CaptureImage* image) {
  std::free(image->pixels);
  image->pixels = nullptr;
}
