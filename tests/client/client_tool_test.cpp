#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_bench.h"

namespace {

struct ToolRun {
  int status;
  std::string out;  // stdout and stderr together
};

ToolRun runTool(const std::string& args) {
  const std::string command = std::string(OCULANT_CLIENT_TOOL) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run = {-1, ""};
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The fake frame as an independent reader sees it: top-down RGB without padding.
std::string topDownRgb(int role) {
  const FakeShape shape = fakeShape(role);
  const int32_t stride = fakeStride(shape.width);
  const std::vector<uint8_t> pixels = fakePixels(role);
  std::string rgb;
  for (int32_t y = shape.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < shape.width; ++x) {
      const uint8_t* p = &pixels[y * stride + 3 * x];
      rgb += static_cast<char>(p[2]);
      rgb += static_cast<char>(p[1]);
      rgb += static_cast<char>(p[0]);
    }
  }
  return rgb;
}

// Decodes the file with ImageMagick into raw top-down RGB.
std::string decodedByImageMagick(const std::string& path) {
  const std::string raw = path + ".rgb";
  const std::string command = "convert '" + path + "' -depth 8 'rgb:" + raw + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return "convert failed";
  return readFile(raw);
}

class ClientToolTest : public ::testing::Test {
 protected:
  PrivateRuntimeDir dir;
  std::string file(const char* name) { return dir.path() + "/" + name; }
};

TEST_F(ClientToolTest, HelpAndArgumentErrors) {
  const ToolRun help = runTool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("grab left|right|both -o FILE"), std::string::npos);
  for (const char* command : {"grab", "save", "heading", "rig", "quit"}) {
    const ToolRun run = runTool(std::string(command) + " --help");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out.rfind(std::string("usage: oculant-client ") + command, 0), 0u) << run.out;
  }
  for (const char* wrong : {"", "fly", "grab up -o x.bmp", "grab left", "grab left -o", "heading",
                            "heading north", "rig 1", "rig 1 y", "save now", "quit all"}) {
    EXPECT_EQ(runTool(wrong).status, 2) << wrong;
  }
}

TEST_F(ClientToolTest, FailsClearlyWhenNoBenchRuns) {
  for (const char* command : {"grab left -o x.bmp", "save", "heading 10", "rig 1 2", "quit"}) {
    const ToolRun run = runTool(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "oculant-client: no bench is running (looked in " + dir.path() + ")\n");
  }
}

TEST_F(ClientToolTest, GrabsFramesIntoFilesThatOtherReadersOpen) {
  FakeBench bench;
  startFakeBench(&bench, false);

  const ToolRun left = runTool("grab left -o " + file("left.bmp"));
  ASSERT_EQ(left.status, 0) << left.out;
  EXPECT_EQ(left.out, file("left.bmp") + ": 301 x 5\n");
  const std::string bmp = readFile(file("left.bmp"));
  const std::vector<uint8_t> pixels = fakePixels(1);
  ASSERT_EQ(bmp.size(), 54 + pixels.size());
  EXPECT_EQ(bmp.substr(54), std::string(pixels.begin(), pixels.end()));
  EXPECT_EQ(decodedByImageMagick(file("left.bmp")), topDownRgb(1));

  ASSERT_EQ(runTool("grab right -o " + file("right.PNG")).status, 0);
  EXPECT_EQ(readFile(file("right.PNG")).substr(1, 3), "PNG");
  EXPECT_EQ(decodedByImageMagick(file("right.PNG")), topDownRgb(2));

  ASSERT_EQ(runTool("grab both -o " + file("pair.png")).status, 0);
  EXPECT_EQ(decodedByImageMagick(file("pair-left.png")), topDownRgb(1));
  EXPECT_EQ(decodedByImageMagick(file("pair-right.png")), topDownRgb(2));

  const ToolRun unwritable = runTool("grab left -o " + file("missing/x.bmp"));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.out.find("cannot write"), std::string::npos);
}

TEST_F(ClientToolTest, SteersTheBench) {
  FakeBench bench;
  startFakeBench(&bench, true);
  EXPECT_EQ(runTool("heading 90.5").status, 0);
  EXPECT_EQ(runTool("rig 1 -2 --scene").status, 0);
  EXPECT_EQ(runTool("save").status, 0);
  EXPECT_EQ(runTool("quit --cameras").status, 0);
  EXPECT_EQ(runTool("quit").status, 0);
  EXPECT_EQ(bench.reports(), (std::vector<std::string>{
                                 "1 1002 0000000000a05640",
                                 "2 1002 0000000000a05640",
                                 "1 1003 000000000000f03f00000000000000c0",
                                 "2 1003 000000000000f03f00000000000000c0",
                                 "0 1003 000000000000f03f00000000000000c0",
                                 "1 1001 ",
                                 "2 1001 ",
                                 "1 1000 ",
                                 "2 1000 ",
                                 "0 1000 ",
                             }));
}

// The Python example of docs/protocol.md, run as written against the fake bench.
TEST_F(ClientToolTest, TheProtocolDocumentsExampleFetchesAFrame) {
  const std::string document = readFile(std::string(OCULANT_SOURCE_DIR) + "/docs/protocol.md");
  const size_t start = document.find("```python\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = document.find("```", start + 10);
  ASSERT_NE(end, std::string::npos);
  std::ofstream(file("example.py")) << document.substr(start + 10, end - start - 10);
  FakeBench bench;
  startFakeBench(&bench, false);
  FILE* pipe = popen(("python3 " + file("example.py") + " 2>&1").c_str(), "r");
  char buffer[256] = {};
  const size_t n = fread(buffer, 1, sizeof buffer - 1, pipe);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(std::string(buffer, n), "301 5 904 4520\n");
}

}  // namespace
