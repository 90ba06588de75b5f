// Every program and package reports the version the build was configured with.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

namespace {

struct Answer {
  std::string output;
  int status = -1;
};

Answer run(const std::string& command) {
  Answer answer;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return answer;
  char buffer[256];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) answer.output.append(buffer, n);
  answer.status = pclose(pipe);
  return answer;
}

// The first match of pattern's group in the file, or "" when there is none.
std::string firstMatch(const std::string& path, const std::string& pattern) {
  std::ifstream file(path);
  const std::regex expression(pattern);
  for (std::string line; std::getline(file, line);) {
    std::smatch match;
    if (std::regex_search(line, match, expression)) return match[1];
  }
  return "";
}

TEST(Version, IsTheProjectVersionEverywhere) {
  const std::string version = OCULANT_VERSION;
  const std::string programs[][2] = {{OCULANT_EXECUTABLE, "oculant"},
                                     {OCULANT_CLIENT_TOOL, "oculant-client"},
                                     {OCULANT_SCENE_TOOL, "oculant-scene"}};
  for (const auto& program : programs) {
    const Answer answer = run(program[0] + std::string(" --version"));
    EXPECT_EQ(answer.status, 0) << program[1];
    EXPECT_EQ(answer.output, program[1] + " " + version + "\n");
  }
  EXPECT_EQ(firstMatch(OCULANT_BINARY_DIR "/src/client/oculant-client.pc", "^Version: (.*)$"),
            version);
  // The Python module of the source tree (the package installed with pip is checked by
  // python_package_test).
  EXPECT_EQ(run(OCULANT_PYTHON3
                " -B -c 'import sys; sys.path.insert(0, sys.argv[1]); "
                "import oculant_client; print(oculant_client.__version__)' " OCULANT_SOURCE_DIR
                "/clients/python")
                .output,
            version + "\n");
}

TEST(Version, BenchHelpSaysHowItIsStarted) {
  const Answer answer = run(OCULANT_EXECUTABLE " --help");
  EXPECT_EQ(answer.status, 0);
  EXPECT_NE(answer.output.find("without arguments in a folder that holds config.txt"),
            std::string::npos)
      << answer.output;
}

}  // namespace
