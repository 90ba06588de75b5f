#include "platform/posix/runtime_dir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "test_bench.h"

namespace {

mode_t modeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

// The folder comes from OCULANT_RUNTIME_DIR, else XDG_RUNTIME_DIR, else /tmp, and is made
// private; a folder others could enter or swap is refused, not repaired.
TEST(RuntimeDir, ChosenByEnvironmentMadePrivateAndRefusedWhenUnsafe) {
  PrivateRuntimeDir scratch;
  const std::string base = scratch.path();
  unsetenv("OCULANT_RUNTIME_DIR");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(runtimeDirectory(), "/tmp/oculant-" + std::to_string(geteuid()));
  setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), base + "/oculant");
  EXPECT_EQ(modeOf(base + "/oculant"), 0700u);
  unsetenv("XDG_RUNTIME_DIR");

  std::string error;
  ASSERT_EQ(mkdir((base + "/open").c_str(), 0700), 0);
  ASSERT_EQ(chmod((base + "/open").c_str(), 0755), 0);
  ASSERT_EQ(symlink(base.c_str(), (base + "/link").c_str()), 0);
  ASSERT_EQ(mkdir((base + "/foreign").c_str(), 0700), 0);
  const bool root = geteuid() == 0 && chown((base + "/foreign").c_str(), 65534, 65534) == 0;
  for (const char* unsafe : {"/open", "/link", "/missing/deeper", root ? "/foreign" : "/open"}) {
    error.clear();
    setenv("OCULANT_RUNTIME_DIR", (base + unsafe).c_str(), 1);
    EXPECT_EQ(runtimeDirectory(&error), "") << unsafe;
    EXPECT_FALSE(error.empty()) << unsafe;
  }
  EXPECT_EQ(modeOf(base + "/open"), 0755u);
  setenv("OCULANT_RUNTIME_DIR", base.c_str(), 1);
}

bool canBind(const std::string& path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

// The longest folder taken still holds the longest socket name; one character more is refused
// with the reason, before anything is created.
TEST(RuntimeDir, RefusedWhenTooLongForASocketName) {
  PrivateRuntimeDir scratch;
  const std::string base = scratch.path() + "/";
  const std::string longest = base + std::string(89 - base.size(), 'x');
  setenv("OCULANT_RUNTIME_DIR", longest.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), longest);
  EXPECT_TRUE(canBind(longest + "/window.4294967295"));

  const std::string tooLong = base + std::string(90 - base.size(), 'y');
  setenv("OCULANT_RUNTIME_DIR", tooLong.c_str(), 1);
  std::string error;
  EXPECT_EQ(runtimeDirectory(&error), "");
  EXPECT_EQ(error, tooLong + " is too long for a socket name (at most 89 characters)");
  EXPECT_NE(access(tooLong.c_str(), F_OK), 0);
  setenv("OCULANT_RUNTIME_DIR", scratch.path().c_str(), 1);
}

}  // namespace
