// `cmake --install --component client` gives an outside program all it needs: the header, the
// shared library, its pkg-config file and the tool.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "test_bench.h"

namespace {

std::string output(const std::string& command, int* status) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return text;
}

TEST(ClientInstallTest, AnOutsideProgramBuildsWithPkgConfigAndRuns) {
  PrivateRuntimeDir dir;
  const std::string prefix = dir.path() + "/prefix";
  int status = 0;
  const std::string install = output("cmake --install " + std::string(OCULANT_BINARY_DIR) +
                                         " --component client --prefix " + prefix,
                                     &status);
  ASSERT_EQ(status, 0) << install;
  EXPECT_EQ(access((prefix + "/bin/oculant-client").c_str(), X_OK), 0);

  std::ofstream(dir.path() + "/program.cpp") << R"(
#include <oculant/client.h>
#include <cstdio>
int main() {
  oculant::Client bench;
  oculant::Frame frame;
  if (!bench.ready() || bench.grab(oculant::Eye::LEFT, &frame)) return 1;
  std::puts(bench.error().c_str());
  return 0;
}
)";
  // Built and run with nothing but what pkg-config names.
  const std::string build =
      "cd " + dir.path() + " && export PKG_CONFIG_PATH=$(dirname $(find " + prefix +
      " -name oculant-client.pc)) && c++ -std=c++17 -o program program.cpp $(pkg-config --cflags "
      "--libs oculant-client) -Wl,-rpath,$(pkg-config --variable=libdir oculant-client) && "
      "./program";
  EXPECT_EQ(output(build, &status), "no left camera is running (looked in " + dir.path() + ")\n");
  EXPECT_EQ(status, 0);
}

}  // namespace
