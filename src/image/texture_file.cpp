#include "image/texture_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "image/bmp_decoder.h"
#include "platform/regular_file.h"

namespace {

// The file stays mapped only while it is decoded; the pixels are read in place.
class ReadOnlyMapping {
 public:
  explicit ReadOnlyMapping(const char* fileName) {
    off_t size = 0;
    const int fd = openRegularFile(fileName, &size);
    if (fd < 0) return;
    if (size > kMaxTextureFileBytes) {
      std::fprintf(stderr, "oculant: %s is %lld bytes, more than any texture needs: ignored\n",
                   fileName, static_cast<long long>(size));
    } else if (size > 0) {
      void* view = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (view != MAP_FAILED) {
        bytes_ = static_cast<const uint8_t*>(view);
        length_ = static_cast<size_t>(size);
      }
    }
    close(fd);
  }
  ~ReadOnlyMapping() {
    if (bytes_ != nullptr) munmap(const_cast<uint8_t*>(bytes_), length_);
  }
  ReadOnlyMapping(const ReadOnlyMapping&) = delete;
  ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;

  const uint8_t* bytes() const { return bytes_; }
  size_t length() const { return length_; }

 private:
  const uint8_t* bytes_ = nullptr;
  size_t length_ = 0;
};

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

}  // namespace

TextureImage* readTextureImage(const char* fileName, std::string* failure) {
  const char* name = fileName != nullptr ? fileName : "";
  // A missing or empty file cannot be mapped, so both get the open message, as does a file that
  // is refused unread (a FIFO, a device, a folder, a file far too large).
  ReadOnlyMapping file(name);
  if (file.bytes() == nullptr) {
    *failure = std::string("Failed to open DIB file ") + name + ".\n";
    return nullptr;
  }
  DecodedBmp decoded;
  const BmpStatus status = decodeBmp(file.bytes(), file.length(), &decoded);
  if (status != BmpStatus::OK) {
    *failure = textForStatus(status);
    return nullptr;
  }
  auto* image = static_cast<TextureImage*>(std::malloc(sizeof(TextureImage)));
  if (image == nullptr) {
    std::free(decoded.rgb);
    *failure = textForStatus(BmpStatus::OUT_OF_MEMORY);
    return nullptr;
  }
  *image = {decoded.width, decoded.height, decoded.rgb};
  return image;
}

void freeTextureImage(TextureImage* image) {
  if (image == nullptr) return;
  std::free(image->pixels);
  std::free(image);
}
