// Opening a file that came with a scene folder, where a FIFO, a device or a folder may stand
// under the expected name: the open never blocks, and only a regular file is kept.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

inline const char* kindOfFile(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

// Returns a descriptor open for reading and sets any size given, or returns -1. A file that is
// absent is passed over in silence (errno ENOENT or ENOTDIR); one that is no regular file, or
// cannot be opened, is named on stderr with the reason, after the program's name. O_NONBLOCK
// makes opening a FIFO without a writer return at once; it changes nothing for a regular file.
inline int openRegularFile(const char* path, off_t* size = nullptr,
                           const char* program = "oculant") {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR)
      std::fprintf(stderr, "%s: %s cannot be opened (%s): ignored\n", program, path,
                   std::strerror(errno));
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    std::fprintf(stderr, "%s: %s cannot be examined (%s): ignored\n", program, path,
                 std::strerror(errno));
    close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "%s: %s is %s, not a regular file: ignored\n", program, path,
                 kindOfFile(info.st_mode));
    close(fd);
    return -1;
  }
  if (size != nullptr) *size = info.st_size;
  return fd;
}
