#include "platform/runtime_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

class RuntimeDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/oculant-rd-XXXXXX";
    base_ = mkdtemp(name);
    unsetenv("OCULANT_RUNTIME_DIR");
    unsetenv("XDG_RUNTIME_DIR");
  }
  void TearDown() override {
    system(("rm -rf " + base_).c_str());
    unsetenv("OCULANT_RUNTIME_DIR");
    unsetenv("XDG_RUNTIME_DIR");
  }
  std::string base_;
};

mode_t modeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

TEST_F(RuntimeDirTest, ChoosesTheFolderByEnvironmentAndCreatesItPrivate) {
  EXPECT_EQ(runtimeDirectory(), "/tmp/oculant-" + std::to_string(geteuid()));

  setenv("XDG_RUNTIME_DIR", base_.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), base_ + "/oculant");
  EXPECT_EQ(modeOf(base_ + "/oculant"), 0700u);

  setenv("OCULANT_RUNTIME_DIR", (base_ + "/own/").c_str(), 1);
  EXPECT_EQ(runtimeDirectory(), base_ + "/own");
  EXPECT_EQ(modeOf(base_ + "/own"), 0700u);
}

TEST_F(RuntimeDirTest, RefusesUnsafeFolders) {
  std::string error;
  const std::string open = base_ + "/open";
  ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(chmod(open.c_str(), 0755), 0);
  setenv("OCULANT_RUNTIME_DIR", open.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(&error), "");
  EXPECT_EQ(modeOf(open), 0755u);  // reported, not silently repaired

  const std::string link = base_ + "/link";
  ASSERT_EQ(symlink(base_.c_str(), link.c_str()), 0);
  setenv("OCULANT_RUNTIME_DIR", link.c_str(), 1);
  EXPECT_EQ(runtimeDirectory(&error), "");

  setenv("OCULANT_RUNTIME_DIR", (base_ + "/missing/deeper").c_str(), 1);
  EXPECT_EQ(runtimeDirectory(&error), "");

  if (geteuid() == 0) {
    const std::string foreign = base_ + "/foreign";
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    setenv("OCULANT_RUNTIME_DIR", foreign.c_str(), 1);
    EXPECT_EQ(runtimeDirectory(&error), "");
    EXPECT_NE(error.find("another user"), std::string::npos);
  }
}

}  // namespace
