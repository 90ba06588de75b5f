#include "platform/posix/runtime_dir.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Sockets in the folder are bound and reached by full path, which must fit sun_path with its
// terminating zero. The longest name the bench and its clients use is a window's socket,
// "window." and a 32-bit handle.
constexpr size_t kLongestSocketName = sizeof "window.4294967295" - 1;
constexpr size_t kLongestFolder = sizeof(sockaddr_un::sun_path) - 1 - 1 - kLongestSocketName;

std::string chosenPath() {
  const char* own = std::getenv("OCULANT_RUNTIME_DIR");
  if (own != nullptr && *own != '\0') return own;
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/oculant";
  return "/tmp/oculant-" + std::to_string(geteuid());
}

// Sockets are addressed by path from every process of the bench, which may not share a
// working folder with the one that resolved it, so the path is made absolute.
std::string absolute(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (!path.empty() && path.front() == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

std::string fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return std::string();
}

}  // namespace

std::string runtimeDirectory(std::string* error) {
  const std::string path = absolute(chosenPath());
  if (path.size() > kLongestFolder) {
    return fail(error, path + " is too long for a socket name (at most " +
                           std::to_string(kLongestFolder) + " characters)");
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return fail(error, "cannot create " + path + ": " + std::strerror(errno));
  }
  // lstat: a symbolic link planted in place of the folder is refused, not followed.
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    return fail(error, "cannot inspect " + path + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) return fail(error, path + " is not a folder");
  if (info.st_uid != geteuid()) return fail(error, path + " belongs to another user");
  if ((info.st_mode & 077) != 0) {
    return fail(error, path + " is open to other users (its mode must be 0700)");
  }
  return path;
}
