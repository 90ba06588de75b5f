#include "image/bmp_writer.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr uint32_t kHeadersSize = 54;

// Keeps ".<name>.XXXXXX" within the 255 bytes a file name may have.
constexpr size_t kMaxNameInTemporary = 240;

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

// Six name characters that differ from call to call and from process to process.
std::string randomSuffix() {
  static uint64_t counter = 0;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t z = (uint64_t(getpid()) << 40) ^ uint64_t(now.tv_nsec) ^ (uint64_t(now.tv_sec) << 30) ^
               (++counter * 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, z /= 62) suffix += kAlphabet[z % 62];
  return suffix;
}

// Creates ".<name>.XXXXXX" next to fileName. O_EXCL opens nothing that is already there (not
// even through a link), and mode 0666 lets the umask and the folder's default ACL decide, as
// for a plain create. Returns the descriptor, or -1 with errno set.
int createTemporary(const std::string& fileName, std::string* temporary) {
  const size_t nameStart = fileName.rfind('/') + 1;  // 0 without a slash
  const std::string prefix =
      fileName.substr(0, nameStart) + "." + fileName.substr(nameStart, kMaxNameInTemporary) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = prefix + randomSuffix();
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, const uint8_t* bytes, uint64_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

int writeBmp(const char* fileName, CaptureImage image) {
  const uint64_t imageBytes = static_cast<uint64_t>(image.stride) * image.height;
  if (image.width < 0 || image.height < 0 || image.stride < int64_t{image.width} * 3 ||
      imageBytes > UINT32_MAX - kHeadersSize ||  // bfSize could not hold the length
      (imageBytes > 0 && image.pixels == nullptr)) {
    errno = EINVAL;
    return 1;
  }

  uint8_t header[kHeadersSize];
  fillHeaders(header, image, static_cast<uint32_t>(imageBytes));
  std::string temporary;
  const int fd = createTemporary(fileName, &temporary);
  if (fd < 0) return 1;
  // No fsync: it could stall the camera for seconds on a slow disk, and the rename alone keeps
  // readers from ever seeing a partial file.
  bool written = writeAll(fd, header, 14) && writeAll(fd, header + 14, 40) &&
                 writeAll(fd, image.pixels, imageBytes);
  int error = errno;
  if (close(fd) != 0 && errno != EINTR && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), fileName) == 0) return 0;
  if (written) error = errno;
  unlink(temporary.c_str());
  errno = error;
  return 1;
}

void freeCaptureImage(CaptureImage* image) {
  std::free(image->pixels);
  image->pixels = nullptr;
}
