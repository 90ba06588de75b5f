// Fuzz target for the BMP decoder: any bytes a texture file may hold. A decoded image must
// have a size within the limits and a pixel buffer of width * height * 3 bytes. The same
// bytes read from a file through the texture loader's mapping must decode to the same image.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/bmp_decoder.h"
#include "image/texture_file.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedBmp image;
  const BmpStatus status = decodeBmp(data, size, &image);
  if (status != BmpStatus::OK) {
    if (image.rgb != nullptr) std::abort();
  } else {
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxBmpSide ||
        image.height > kMaxBmpSide || int64_t{image.width} * image.height > kMaxBmpPixels ||
        image.rgb == nullptr) {
      std::abort();
    }
  }
  // The sanitizer knows each allocation's exact end: reading the last byte proves the size.
  const size_t bytes = static_cast<size_t>(image.width) * image.height * 3;
  if (bytes > 0) {
    volatile uint8_t edges = image.rgb[0] ^ image.rgb[bytes - 1];
    (void)edges;
  }

  // The loader reports an empty file as unopenable rather than undecodable.
  if (size > 0) {
    std::string failure;
    TextureImage* loaded = readTextureImage(fileHolding(data, size).c_str(), &failure);
    if ((loaded != nullptr) != (status == BmpStatus::OK)) std::abort();
    if (loaded != nullptr && (loaded->width != image.width || loaded->height != image.height ||
                              std::memcmp(loaded->pixels, image.rgb, bytes) != 0)) {
      std::abort();
    }
    freeTextureImage(loaded);
  }
  std::free(image.rgb);
  return 0;
}
