#include "platform/posix/transport_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/posix/runtime_dir.h"

namespace {

struct FolderState {
  std::string own;  // the environment that dir was resolved from
  std::string xdg;
  std::string dir;
};

// Per thread: threads that use the transport each with a state of their own share nothing here.
thread_local FolderState folderState;

}  // namespace

void forgetTransportFolder() {
  folderState.own.clear();
  folderState.xdg.clear();
  folderState.dir.clear();
}

const std::string& transportFolder() {
  FolderState& s = folderState;
  const char* own = std::getenv("OCULANT_RUNTIME_DIR");
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  own = own ? own : "";
  xdg = xdg ? xdg : "";
  // Resolved once per environment: checking the folder on every message would cost syscalls.
  if (s.dir.empty() || s.own != own || s.xdg != xdg) {
    forgetTransportFolder();
    s.own = own;
    s.xdg = xdg;
    s.dir = runtimeDirectory();
  }
  return s.dir;
}

std::string pathInFolder(const std::string& name) {
  return transportFolder() + "/" + name;
}

bool validClassName(const char* name) {
  size_t length = 0;
  for (; name[length] != '\0'; ++length) {
    const char c = name[length];
    if (length >= 64 || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-')) {
      return false;
    }
  }
  return length > 0;
}

std::string windowFile(HWND window) {
  return "window." + std::to_string(window);
}

std::string classFile(const char* className) {
  return std::string("class.") + className;
}

bool makeAddress(const std::string& name, sockaddr_un* address, socklen_t* length) {
  const std::string& dir = transportFolder();
  if (dir.empty()) return false;
  const std::string path = dir + "/" + name;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

bool sameUser(int fd, pid_t* pid) {
  ucred peer;
  socklen_t size = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  if (pid != nullptr) *pid = peer.pid;
  return peer.uid == geteuid();
}

int connectTo(const std::string& name) {
  sockaddr_un address;
  socklen_t length;
  if (!makeAddress(name, &address, &length)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

Liveness probe(const std::string& name) {
  const int fd = connectTo(name);
  if (fd >= 0) {
    close(fd);
    return Liveness::LIVE;
  }
  if (errno == EAGAIN) return Liveness::LIVE;
  if (errno == ECONNREFUSED || errno == ENOENT) return Liveness::DEAD;
  return Liveness::UNKNOWN;
}

HWND readClassLink(const char* className) {
  char target[64];
  const ssize_t n = readlink(pathInFolder(classFile(className)).c_str(), target, sizeof target - 1);
  if (n <= 0) return 0;
  target[n] = '\0';
  if (std::strncmp(target, "window.", 7) != 0) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(target + 7, &end, 10);
  if (end == target + 7 || *end != '\0' || value == 0 || value > UINT32_MAX) return 0;
  return static_cast<HWND>(value);
}
