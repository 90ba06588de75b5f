// An in-memory file for fuzz targets whose parser reads a file by name.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// Replaces the content of one process-wide in-memory file with the input and returns a name
// that opens it.
inline std::string fileHolding(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}
