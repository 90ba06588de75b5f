#include "image/texture_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "image/bmp_decoder.h"
#include "image/image_decoder.h"
#include "platform/platform.h"

namespace {

// The whole file, or nothing: a file far larger than any texture is named on stderr and never
// read, one that is no regular file is refused by the read itself.
bool readWholeFile(const char* fileName, std::vector<uint8_t>* bytes) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(fileName, error);
  if (!error && size > static_cast<uintmax_t>(kMaxTextureFileBytes)) {
    std::fprintf(stderr, "oculant: %s is %llu bytes, more than any texture needs: ignored\n",
                 fileName, static_cast<unsigned long long>(size));
    return false;
  }
  bool truncated = false;
  if (readSceneFile(fileName, static_cast<size_t>(kMaxTextureFileBytes), bytes, &truncated) !=
      FileReadStatus::OK) {
    return false;
  }
  // It grew past the bound since its size was taken.
  if (truncated) {
    std::fprintf(stderr, "oculant: %s grew past %lld bytes, more than any texture needs: ignored\n",
                 fileName, static_cast<long long>(kMaxTextureFileBytes));
    return false;
  }
  return !bytes->empty();
}

const char* textForStatus(BmpStatus status) {
  switch (status) {
    case BmpStatus::UNKNOWN_FORMAT:
      return "Unknown DIB file format.";
    case BmpStatus::OUT_OF_MEMORY:
      return "Out of memory.";
    default:
      return "Image file conversion error.";
  }
}

// The record for decoded pixels; null (the pixels freed) when there is no memory for it.
TextureImage* imageFor(const DecodedBmp& decoded) {
  auto* image = static_cast<TextureImage*>(std::malloc(sizeof(TextureImage)));
  if (image == nullptr) {
    std::free(decoded.rgb);
    return nullptr;
  }
  *image = {decoded.width, decoded.height, decoded.rgb};
  return image;
}

}  // namespace

TextureImage* readTextureImage(const char* fileName, std::string* failure) {
  const char* name = fileName != nullptr ? fileName : "";
  // A missing or empty file gets the open message, as does a file that is refused unread (a
  // FIFO, a device, a folder, a file far too large).
  std::vector<uint8_t> bytes;
  if (!readWholeFile(name, &bytes)) {
    *failure = std::string("Failed to open DIB file ") + name + ".\n";
    return nullptr;
  }
  DecodedBmp decoded;
  const BmpStatus status = decodeBmp(bytes.data(), bytes.size(), &decoded);
  if (status != BmpStatus::OK) {
    *failure = textForStatus(status);
    return nullptr;
  }
  TextureImage* image = imageFor(decoded);
  if (image == nullptr) *failure = textForStatus(BmpStatus::OUT_OF_MEMORY);
  return image;
}

TextureImage* readImageFile(const char* fileName, std::string* failure) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(fileName, &bytes)) {
    *failure = "cannot be read";
    return nullptr;
  }
  DecodedBmp decoded;
  const BmpStatus status = decodeImage(bytes.data(), bytes.size(), &decoded);
  TextureImage* image = status == BmpStatus::OK ? imageFor(decoded) : nullptr;
  if (image == nullptr) {
    *failure = status == BmpStatus::OUT_OF_MEMORY || status == BmpStatus::OK
                   ? "cannot be held: out of memory"
                   : "is no BMP, PNG or JPEG image that can be decoded";
  }
  return image;
}

void freeTextureImage(TextureImage* image) {
  if (image == nullptr) return;
  std::free(image->pixels);
  std::free(image);
}
