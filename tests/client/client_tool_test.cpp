#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "fake_bench.h"
#include "magick.h"

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

// The fake frame as an independent reader should see it: RGB rows without padding.
Bytes expectedRgb(int role) {
  const FakeShape shape = fakeShape(role);
  const std::vector<uint8_t> pixels = fakePixels(role);
  Bytes rgb;
  for (int32_t y = 0; y < shape.height; ++y) {
    for (int32_t x = 0; x < shape.width; ++x) {
      const uint8_t* p = &pixels[y * fakeStride(shape.width) + 3 * x];
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  }
  return rgb;
}

class ClientToolTest : public ::testing::Test {
 protected:
  PrivateRuntimeDir dir;
  std::string file(const char* name) { return dir.path() + "/" + name; }
};

TEST_F(ClientToolTest, HelpArgumentErrorsAndNoBench) {
  const ToolRun help = runTool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("grab left|right|both -o FILE"), std::string::npos);
  for (const char* wrong : {"", "fly", "grab up -o x.bmp", "grab left", "heading north", "rig 1"})
    EXPECT_EQ(runTool(wrong).status, 2) << wrong;
  const ToolRun run = runTool("heading 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "oculant-client: no bench is running (looked in " + dir.path() + ")\n");
}

TEST_F(ClientToolTest, GrabsFramesIntoFilesThatOtherReadersOpen) {
  FakeBench bench;
  startFakeBench(&bench, false);

  const ToolRun left = runTool("grab left -o " + file("left.bmp"));
  ASSERT_EQ(left.status, 0) << left.out;
  EXPECT_EQ(left.out, file("left.bmp") + ": 301 x 5\n");
  const Bytes bmp = readFile(file("left.bmp"));
  EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()), fakePixels(1));
  EXPECT_EQ(magickRead(file("left.bmp")).rgb, expectedRgb(1));

  ASSERT_EQ(runTool("grab both -o " + file("pair.png")).status, 0);
  EXPECT_EQ(readFile(file("pair-left.png")).at(1), 'P');
  EXPECT_EQ(magickRead(file("pair-left.png")).rgb, expectedRgb(1));
  EXPECT_EQ(magickRead(file("pair-right.png")).rgb, expectedRgb(2));

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
  EXPECT_EQ(bench.reports(), kSteeringReports);
}

// The Python example of docs/protocol.md, run as written against the fake bench.
TEST_F(ClientToolTest, TheProtocolDocumentsExampleFetchesAFrame) {
  const Bytes bytes = readFile(std::string(OCULANT_SOURCE_DIR) + "/docs/protocol.md");
  const std::string document(bytes.begin(), bytes.end());
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
