#include "image/bmp_writer.h"

#include <cstdlib>

#include "platform/platform.h"

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

}  // namespace

bool bmpHeaders(const CaptureImage& image, uint8_t header[kHeadersSize]) {
  const uint64_t imageBytes = static_cast<uint64_t>(image.stride) * image.height;
  if (image.width < 0 || image.height < 0 || image.stride < int64_t{image.width} * 3 ||
      imageBytes > UINT32_MAX - kHeadersSize ||  // bfSize could not hold the length
      (imageBytes > 0 && image.pixels == nullptr)) {
    return false;
  }
  fillHeaders(header, image, static_cast<uint32_t>(imageBytes));
  return true;
}

int writeBmp(const char* fileName, CaptureImage image, std::string* reason) {
  std::string ignored;
  if (reason == nullptr) reason = &ignored;
  uint8_t header[kHeadersSize];
  if (!bmpHeaders(image, header)) {
    *reason = "Invalid argument";
    return 1;
  }
  const uint64_t imageBytes = static_cast<uint64_t>(image.stride) * image.height;
  const FilePart parts[] = {{header, kHeadersSize}, {image.pixels, imageBytes}};
  return replaceFile(fileName, parts, 2, reason) ? 0 : 1;
}

void freeCaptureImage(CaptureImage* image) {
  std::free(image->pixels);
  image->pixels = nullptr;
}
