#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "fake_bench.h"
#include "magick.h"

namespace {

CommandRun runTool(const std::string& args) {
  return runCapturing(std::string(OCULANT_CLIENT_TOOL) + " " + args);
}

// The fake frame as an independent reader should see it: RGB rows without padding.
Bytes expectedRgb(int role) {
  const FakeShape shape = fakeShape(role);
  const std::vector<uint8_t> pixels = fakePixels(role);
  Bytes rgb;
  for (int32_t y = 0; y < shape.height; ++y)
    for (int32_t x = 0; x < shape.width; ++x) {
      const uint8_t* p = &pixels[y * fakeStride(shape.width) + 3 * x];
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  return rgb;
}

class ClientToolTest : public ::testing::Test {
 protected:
  PrivateRuntimeDir dir;
  std::string file(const char* name) { return dir.path() + "/" + name; }
};

TEST_F(ClientToolTest, HelpArgumentErrorsAndNoBench) {
  const CommandRun help = runTool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("grab left|right|both -o FILE"), std::string::npos);
  for (const char* wrong : {"", "fly", "grab up -o x.bmp", "grab left", "heading north", "rig 1",
                            "heading nan", "heading 1e400", "grab left -o -",
                            "grab left -o - --format jpg", "grab both -o - --format png"})
    EXPECT_EQ(runTool(wrong).status, 2) << wrong;
  const CommandRun nan = runTool("rig 1 nan");
  EXPECT_EQ(nan.status, 2);
  EXPECT_EQ(nan.output.substr(0, nan.output.find('\n')),
            "oculant-client: 'nan' is not a finite number");
  for (const char* shard : {"0/2", "3/2", "1/0", "-1/2", "1/2/3", "1", "a/2", ""})
    EXPECT_EQ(runTool(std::string("record p.csv out --shard ") + shard).status, 2) << shard;
  const CommandRun shard = runTool("record p.csv out --shard 3/2");
  EXPECT_EQ(shard.output.substr(0, shard.output.find('\n')),
            "oculant-client: --shard 3/2: K counts from 1 to N");
  // A shard beyond the poses has nothing to do, and needs no bench to find that out.
  std::ofstream(file("p.csv")) << "1 2 90\n1 2 91\n";
  const CommandRun empty = runTool("record " + file("p.csv") + " " + file("out") + " --shard 3/4");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.output, "oculant-client: shard 3/4 takes none of the 2 poses\n");
  const CommandRun jpg = runTool("grab left -o x.jpg");
  EXPECT_EQ(jpg.status, 2);
  EXPECT_EQ(jpg.output.substr(0, jpg.output.find('\n')),
            "oculant-client: 'x.jpg' names no format this tool writes (bmp, png)");
  std::ofstream(file("calib.yml")) << "mine\n";
  const CommandRun calibration = runTool("calibration " + dir.path());
  EXPECT_EQ(calibration.status, 1);
  EXPECT_EQ(calibration.output,
            "oculant-client: " + file("calib.yml") + " exists; --overwrite replaces it\n");
  const CommandRun run = runTool("heading 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "oculant-client: no bench is running (looked in " + dir.path() + ")\n");
}

TEST_F(ClientToolTest, GrabsIntoFilesOtherReadersOpenAndSteersTheBench) {
  FakeBench bench(true);
  const CommandRun left = runTool("grab left -o " + file("left.bmp"));
  ASSERT_EQ(left.status, 0) << left.output;
  EXPECT_EQ(left.output, file("left.bmp") + ": 301 x 5\n");
  const Bytes bmp = readFile(file("left.bmp"));
  EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()), fakePixels(1));
  EXPECT_EQ(magickRead(file("left.bmp")).rgb, expectedRgb(1));
  ASSERT_EQ(runTool("grab both -o " + file("pair.png")).status, 0);
  EXPECT_EQ(readFile(file("pair-left.png")).at(1), 'P');
  EXPECT_EQ(magickRead(file("pair-right.png")).rgb, expectedRgb(2));
  EXPECT_EQ(runTool("grab left -o " + file("missing/x.bmp")).status, 1);
  // The extension decides in any case; standard output takes the format named.
  ASSERT_EQ(runTool("grab right -o " + file("right.PNG")).status, 0);
  EXPECT_EQ(magickRead(file("right.PNG")).rgb, expectedRgb(2));
  const CommandRun piped = runCapturing("(" + std::string(OCULANT_CLIENT_TOOL) +
                                        " grab right -o - --format bmp > " + file("piped") + ")");
  EXPECT_EQ(piped.output, "-: 64 x 3\n");
  const Bytes pipedBmp = readFile(file("piped"));
  ASSERT_EQ(pipedBmp.size(), 54u + fakePixels(2).size());
  EXPECT_EQ(Bytes(pipedBmp.begin() + 54, pipedBmp.end()), fakePixels(2));
  EXPECT_EQ(magickRead(file("piped")).rgb, expectedRgb(2));

  // The Python example of docs/protocol.md, run as written.
  const Bytes bytes = readFile(std::string(OCULANT_SOURCE_DIR) + "/docs/protocol.md");
  const std::string document(bytes.begin(), bytes.end());
  const size_t start = document.find("```python\n") + 10;
  std::ofstream(file("example.py")) << document.substr(start, document.find("```", start) - start);
  EXPECT_EQ(runCapturing("python3 " + file("example.py")).output, "301 5 904 4520\n");

  for (const char* command : {"heading 90.5", "rig 1 -2 --scene", "save", "quit --cameras", "quit"})
    EXPECT_EQ(runTool(command).status, 0) << command;
  EXPECT_EQ(bench.reports(), kSteeringReports);
}

TEST_F(ClientToolTest, AWindowThatDoesNotAnswerFailsTheCommandWithinItsTimeout) {
  FakeBench bench(true);
  kill(bench.pid, SIGSTOP);
  for (const char* command : {"save", "heading 10", "heading 10 --scene", "quit"}) {
    const CommandRun run = runTool(std::string("--timeout 0.2 ") + command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_NE(run.output.find("did not answer within 0.2 s (stopped or busy)"), std::string::npos)
        << command << ": " << run.output;
  }
  EXPECT_EQ(runTool("--timeout 0 save").status, 2);
  kill(bench.pid, SIGCONT);
}

}  // namespace
