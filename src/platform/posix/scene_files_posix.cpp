// Scene files on POSIX: reads that never block on what stands under a scene's file names,
// saves that replace a file whole, and numbers read the same in every locale.
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

const char* kindOfFile(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

// Reads up to length bytes, fewer only at the end of the file or on an error.
size_t readAtMost(int fd, uint8_t* buffer, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = read(fd, buffer + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

// Keeps ".<name>.XXXXXX" within the 255 bytes a file name may have.
constexpr size_t kMaxNameInTemporary = 240;

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

// Creates ".<name>.XXXXXX" next to path. O_EXCL opens nothing that is already there (not even
// through a link), and mode 0666 lets the umask and the folder's default ACL decide, as for a
// plain create. Returns the descriptor, or -1 with errno set.
int createTemporary(const std::string& path, std::string* temporary) {
  const size_t nameStart = path.rfind('/') + 1;  // 0 without a slash
  const std::string prefix =
      path.substr(0, nameStart) + "." + path.substr(nameStart, kMaxNameInTemporary) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = prefix + randomSuffix();
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileReadStatus readSceneFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes,
                             bool* truncated, const char* program) {
  bytes->clear();
  if (truncated != nullptr) *truncated = false;
  // O_NONBLOCK makes opening a FIFO without a writer return at once; it changes nothing for a
  // regular file.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FileReadStatus::ABSENT;
    std::fprintf(stderr, "%s: %s cannot be opened (%s): ignored\n", program, path,
                 std::strerror(errno));
    return FileReadStatus::REFUSED;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    std::fprintf(stderr, "%s: %s cannot be examined (%s): ignored\n", program, path,
                 std::strerror(errno));
    close(fd);
    return FileReadStatus::REFUSED;
  }
  if (!S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "%s: %s is %s, not a regular file: ignored\n", program, path,
                 kindOfFile(info.st_mode));
    close(fd);
    return FileReadStatus::REFUSED;
  }
  // The size is only a hint: a file that grew since is read on in steps, up to the byte past
  // the bound that tells a file holding more.
  const size_t hint = static_cast<uint64_t>(info.st_size) < maxBytes ? info.st_size : maxBytes;
  bytes->resize(hint + 1);
  size_t length = readAtMost(fd, bytes->data(), hint + 1);
  while (length == bytes->size() && length <= maxBytes) {
    const size_t more = std::min(length, maxBytes + 1 - length);
    bytes->resize(length + more);
    const size_t got = readAtMost(fd, bytes->data() + length, more);
    length += got;
    if (got < more) break;
  }
  close(fd);
  if (length > maxBytes) {
    length = maxBytes;
    if (truncated != nullptr) *truncated = true;
  }
  bytes->resize(length);
  return FileReadStatus::OK;
}

bool replaceFile(const char* path, const FilePart* parts, int partCount, std::string* reason) {
  std::string temporary;
  const int fd = createTemporary(path, &temporary);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  // No fsync: it could stall the camera for seconds on a slow disk, and the rename alone keeps
  // readers from ever seeing a partial file.
  bool written = true;
  for (int i = 0; i < partCount && written; ++i) {
    written = writeAll(fd, static_cast<const uint8_t*>(parts[i].data), parts[i].size);
  }
  int error = errno;
  if (close(fd) != 0 && errno != EINTR && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), path) == 0) return true;
  if (written) error = errno;
  unlink(temporary.c_str());
  *reason = std::strerror(error);
  return false;
}

double parseNumberC(const char* text, char** end) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text, end, cLocale);
}
