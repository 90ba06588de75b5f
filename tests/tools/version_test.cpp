// Every program and package reports the version the build was configured with.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "magick.h"

namespace {

TEST(Version, IsTheProjectVersionEverywhere) {
  const std::string version = OCULANT_VERSION;
  const std::string programs[][2] = {{OCULANT_EXECUTABLE, "oculant"},
                                     {OCULANT_CLIENT_TOOL, "oculant-client"},
                                     {OCULANT_SCENE_TOOL, "oculant-scene"}};
  for (const auto& program : programs) {
    const CommandRun answer = runCapturing(program[0] + std::string(" --version"));
    EXPECT_EQ(answer.status, 0) << program[1];
    EXPECT_EQ(answer.output, program[1] + " " + version + "\n");
  }
  const std::string pc = readText(OCULANT_BINARY_DIR "/src/client/oculant-client.pc");
  std::smatch line;
  EXPECT_TRUE(std::regex_search(pc, line, std::regex("\nVersion: ([^\n]*)"))) << pc;
  EXPECT_EQ(line.str(1), version);
  // The Python module of the source tree (the package installed with pip is checked by
  // python_package_test).
  EXPECT_EQ(
      runCapturing(OCULANT_PYTHON3
                   " -B -c 'import sys; sys.path.insert(0, sys.argv[1]); "
                   "import oculant_client; print(oculant_client.__version__)' " OCULANT_SOURCE_DIR
                   "/clients/python")
          .output,
      version + "\n");
}

TEST(Version, BenchHelpSaysHowItIsStarted) {
  const CommandRun answer = runCapturing(OCULANT_EXECUTABLE " --help");
  EXPECT_EQ(answer.status, 0);
  EXPECT_NE(answer.output.find("without arguments in a folder that holds config.txt"),
            std::string::npos)
      << answer.output;
}

}  // namespace
