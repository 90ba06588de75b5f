// Hostile peers for the attack tests: plain Unix sockets that speak the wire format
// (docs/protocol.md) by hand, so that they misbehave exactly as a test says, whatever the
// transport library does. Every wait is bounded.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

// A connection to the socket at path, or -1. A listener whose queue is full makes connect
// wait; that wait ends after timeoutMs. With timeoutMs 0 the connection is non-blocking and
// a full queue fails at once.
inline int connectRaw(const std::string& path, int timeoutMs = 5000) {
  const int fd =
      socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (timeoutMs > 0 ? 0 : SOCK_NONBLOCK), 0);
  timeval limit = {timeoutMs / 1000, timeoutMs % 1000 * 1000};
  if (timeoutMs > 0) setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

// The 16-byte envelope: "OCUM", code, sender, length, little-endian.
inline void writeEnvelope(unsigned char out[16], uint32_t code, uint32_t sender, uint32_t length) {
  std::memcpy(out, "OCUM", 4);
  const uint32_t fields[3] = {code, sender, length};
  for (int f = 0; f < 3; ++f)
    for (int i = 0; i < 4; ++i) out[4 + 4 * f + i] = static_cast<unsigned char>(fields[f] >> 8 * i);
}

// Writes the envelope and the payload at once.
inline bool sendMessage(int fd, uint32_t code, uint32_t sender, const void* payload = nullptr,
                        uint32_t length = 0) {
  unsigned char message[16 + 64];
  if (fd < 0 || length > 64) return false;
  writeEnvelope(message, code, sender, length);
  if (length > 0) std::memcpy(message + 16, payload, length);
  return send(fd, message, 16 + length, MSG_NOSIGNAL) == static_cast<ssize_t>(16 + length);
}

// Reads up to size bytes; stops early when the peer closes or sends nothing for timeoutMs.
// Returns the bytes read.
inline size_t readUpTo(int fd, void* out, size_t size, int timeoutMs = 5000) {
  size_t done = 0;
  while (done < size) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) break;
    const ssize_t n = recv(fd, static_cast<char*>(out) + done, size - done, 0);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

inline uint32_t readLe32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// A program's own window socket, made by hand: the cameras connect to it to deliver frames.
class RawMailbox {
 public:
  // Listens on window.<handle> in folder, handle (pid << 10) | n: any handle that no other
  // socket has will do.
  RawMailbox(const std::string& folder, uint32_t n)
      : handle_(static_cast<uint32_t>(getpid()) << 10 | n),
        path_(folder + "/window." + std::to_string(handle_)) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd_, 128) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RawMailbox() {
    if (fd_ >= 0) close(fd_);
    unlink(path_.c_str());
  }
  RawMailbox(const RawMailbox&) = delete;
  RawMailbox& operator=(const RawMailbox&) = delete;

  uint32_t handle() const { return handle_; }

  // The next connection a window makes to this mailbox, or -1 when none comes in timeoutMs.
  int accept(int timeoutMs = 5000) {
    pollfd p = {fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, timeoutMs) <= 0) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  uint32_t handle_;
  std::string path_;
  int fd_;
};
