#include "image/image_decoder.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "stb_image.h"

namespace {

bool startsWith(const uint8_t* bytes, size_t length, const char* signature, size_t size) {
  return length >= size && std::memcmp(bytes, signature, size) == 0;
}

bool isPngOrJpeg(const uint8_t* bytes, size_t length) {
  return startsWith(bytes, length, "\x89PNG\r\n\x1a\n", 8) ||
         startsWith(bytes, length, "\xff\xd8\xff", 3);
}

BmpStatus decodeCompressed(const uint8_t* bytes, size_t length, DecodedBmp* image) {
  if (length > static_cast<size_t>(INT_MAX)) return BmpStatus::CONVERSION_ERROR;
  const int size = static_cast<int>(length);
  int width = 0, height = 0, channels = 0;
  // The header alone tells the size: a few bytes may claim more pixels than memory holds.
  if (!stbi_info_from_memory(bytes, size, &width, &height, &channels) || width <= 0 ||
      height <= 0 || width > kMaxBmpSide || height > kMaxBmpSide ||
      int64_t{width} * height > kMaxBmpPixels) {
    return BmpStatus::CONVERSION_ERROR;
  }
  // Rows come top first; GL and TextureImage want the bottom row first.
  stbi_set_flip_vertically_on_load(1);
  uint8_t* rgb = stbi_load_from_memory(bytes, size, &width, &height, &channels, 3);
  if (rgb == nullptr) return BmpStatus::CONVERSION_ERROR;
  // The caller frees with free(): stb allocates with malloc unless told otherwise.
  *image = {width, height, rgb};
  return BmpStatus::OK;
}

}  // namespace

BmpStatus decodeImage(const uint8_t* bytes, size_t length, DecodedBmp* image) {
  *image = {0, 0, nullptr};
  if (isPngOrJpeg(bytes, length)) return decodeCompressed(bytes, length, image);
  return decodeBmp(bytes, length, image);
}
