// Prints every speed figure of the bench beside its floor measured in the same run, and their
// ratio. Run it under an X server of its own (scripts/bench does):
//   oculant_bench EXECUTABLE DEMO_FOLDER [SECONDS_PER_FIGURE]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "attack_figures.h"
#include "bench_clock.h"
#include "fetch_figures.h"
#include "gl_figures.h"
#include "live_bench.h"
#include "record_figures.h"

namespace {

double secondsPerFigure = 2;
std::string self;

void row(const std::string& figure, double value, double floor, double ratio, const char* unit) {
  std::printf("%-44s %10.1f %10.1f %8.2f  %s\n", figure.c_str(), value, floor, ratio, unit);
  std::fflush(stdout);
}

std::string makeFolder(const char* kind) {
  char name[64];
  std::snprintf(name, sizeof name, "/tmp/oculant-bench-%s-XXXXXX", kind);
  return mkdtemp(name);
}

bool run(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

// 30 lattices of 20 x 20 in front of the rig, wearing the demo's textures.
std::string stressFolder(const std::string& demo) {
  const std::string folder = makeFolder("stress");
  run("cp " + demo + "/*.bmp " + folder);
  FILE* config = std::fopen((folder + "/config.txt").c_str(), "w");
  std::fprintf(config, "ALL=30\n");
  for (int i = 1; i <= 30; ++i) {
    std::fprintf(config,
                 "OBJECT%d=2\nOBJECT%d_X=%d\nOBJECT%d_Y=%d\nOBJECT%d_Z=0\nOBJECT%d_WIDTH=20\n"
                 "OBJECT%d_HEIGHT=20\nOBJECT%d_TEXTURE=ON\nOBJECT%d_FILE=dots.bmp\n",
                 i, i, -10 + (i % 5) * 4, i, 2 + i / 5 * 3, i, i, i, i, i);
  }
  std::fclose(config);
  return folder;
}

// One mesh of 100,000 triangles ahead of the rig: a rippled sheet of 250 x 200 cells, upright
// once read y-up, filling the eye views.
std::string meshFolder() {
  const std::string folder = makeFolder("mesh");
  FILE* obj = std::fopen((folder + "/sheet.obj").c_str(), "w");
  const int columns = 250, rows = 200;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= columns; ++i) {
      const double x = -2 + 4.0 * i / columns, y = -1.5 + 3.0 * j / rows;
      std::fprintf(obj, "v %.5f %.5f %.5f\n", x, y, 0.1 * std::sin(7 * x) * std::cos(5 * y));
    }
  }
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      const int a = j * (columns + 1) + i + 1, b = a + columns + 1;
      std::fprintf(obj, "f %d %d %d\nf %d %d %d\n", a, a + 1, b + 1, a, b + 1, b);
    }
  }
  std::fclose(obj);
  FILE* config = std::fopen((folder + "/config.txt").c_str(), "w");
  std::fprintf(config,
               "ALL=1\nOBJECT1=3\nOBJECT1_FILE=sheet.obj\nOBJECT1_X=0.7\nOBJECT1_Y=3\n"
               "OBJECT1_Z=0.2\nOBJECT1_R=0.8\nOBJECT1_G=0.7\nOBJECT1_B=0.5\n");
  std::fclose(config);
  return folder;
}

void renderFigures(const char* scene, const std::string& folder) {
  if (chdir(folder.c_str()) != 0) return;
  struct Role {
    InstanceRole role;
    const char* name;
    int width, height;
  };
  const Role roles[] = {{ROLE_SCENE, "scene 800x600", 800, 600},
                        {ROLE_LEFT_CAMERA, "left camera 320x240", 320, 240},
                        {ROLE_RIGHT_CAMERA, "right camera 320x240", 320, 240}};
  for (const Role& r : roles) {
    GlFigures gl = {};
    if (!measureGl(r.role, r.width, r.height, secondsPerFigure, &gl)) {
      std::printf("render %s %s: no GL window\n", scene, r.name);
      continue;
    }
    const std::string name = std::string("render ") + scene + ", " + r.name;
    row(name + " (frames/s)", gl.framesPerSecond, gl.emptyPerSecond,
        gl.emptyPerSecond / gl.framesPerSecond, "x the cost of an empty frame");
    const double frameUs = 1e6 / gl.framesPerSecond;
    const double emptyUs = 1e6 / gl.emptyPerSecond;
    row("  vertices per frame / us per frame", gl.verticesPerFrame, frameUs,
        gl.verticesPerFrame > 0 ? (frameUs - emptyUs) * 1000 / gl.verticesPerFrame : 0,
        "ns per vertex beyond the empty frame");
  }
}

// The floors of a fetch at one size: reading the drawn frame plus one copy, and, for a fetch
// whose frame must be drawn anew, drawing it as well.
struct FetchFloor {
  double read;
  double drawAndRead;
  double idPass;  // the ids drawn over a frame and read, per second
};

FetchFloor fetchFloor(int width, int height, const std::string& demo) {
  GlFigures gl = {};
  if (chdir(demo.c_str()) != 0 ||
      !measureGl(ROLE_LEFT_CAMERA, width, height, secondsPerFigure, &gl)) {
    return FetchFloor{0, 0, 0};
  }
  return FetchFloor{gl.readsPerSecond, 1 / (1 / gl.framesPerSecond + 1 / gl.readsPerSecond),
                    gl.idPassesPerSecond};
}

// Milliseconds a fresh process takes to open one GL window, draw and read one frame: the
// floor of a start-up. The best of three.
double startupFloorMs(const std::string& demo) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double start = nowSeconds();
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(demo.c_str()) != 0) _exit(5);
      execl(self.c_str(), "oculant_bench", "--open-once", static_cast<char*>(nullptr));
      _exit(6);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      best = std::min(best, (nowSeconds() - start) * 1000);
    }
  }
  return best;
}

// What the ids add to a pair's capture, against what each camera must do for them: draw the
// ids over its frame and read them back (the cameras are asked one after the other).
void idPassRow(const std::string& prefix, const FetchFigures& f, double idPassesPerSecond) {
  if (idPassesPerSecond <= 0 || f.withIdsPairsPerSecond <= 0) return;
  const double extraMs = 1000 / f.withIdsPairsPerSecond - 1000 / f.groundTruthPairsPerSecond;
  const double floorMs = 2 * 1000 / idPassesPerSecond;
  row(prefix + "  id pass (ms per pair)", extraMs, floorMs, extraMs / floorMs,
      "x the cost of drawing and reading the ids");
}

void fetchRows(const char* size, const FetchFigures& f, const FetchFloor& fetchFloor,
               const char* mode) {
  const double floor = fetchFloor.read;
  const std::string prefix = std::string("fetch ") + size + " " + mode + ", ";
  row(prefix + "one camera (frames/s)", f.framesPerSecond, floor, floor / f.framesPerSecond,
      "x the cost of read + copy");
  row(prefix + "both cameras (pairs/s)", f.pairsPerSecond, floor / 2, floor / 2 / f.pairsPerSecond,
      "x the cost of read + copy");
  if (f.turnedPerSecond > 0) {
    row(prefix + "turn + fetch (frames/s)", f.turnedPerSecond, fetchFloor.drawAndRead,
        fetchFloor.drawAndRead / f.turnedPerSecond, "x the cost of draw + read + copy");
  }
  // Every capture draws its frame anew, and reads depth as well as colour.
  const double drawPairs = fetchFloor.drawAndRead / 2;
  row(prefix + "ground truth (pairs/s)", f.groundTruthPairsPerSecond, drawPairs,
      drawPairs / f.groundTruthPairsPerSecond, "x the cost of draw + read + copy");
  row(prefix + "ground truth + ids (pairs/s)", f.withIdsPairsPerSecond, f.groundTruthPairsPerSecond,
      f.groundTruthPairsPerSecond / f.withIdsPairsPerSecond, "x the cost without ids");
  idPassRow(prefix, f, fetchFloor.idPass);
  if (f.wrongAnswers > 0) std::printf("  WRONG ANSWERS: %ld\n", f.wrongAnswers);
}

// A recorded sample costs at least its ground-truth capture with object ids; beyond it go
// setting the pose in the three windows, the tool's start and the files it encodes and writes.
void recordRow(const std::string& figure, double rate, const FetchFigures& f) {
  if (rate <= 0) {
    std::printf("%s: the recording failed\n", figure.c_str());
    return;
  }
  row(figure, rate, f.withIdsPairsPerSecond, f.withIdsPairsPerSecond / rate,
      "x the cost of a ground-truth capture with ids");
}

void recordRow(const char* size, const FetchFigures& f, const char* mode) {
#ifdef OCULANT_CLIENT_TOOL
  recordRow(std::string("record ") + size + " " + mode + " (samples/s)",
            measureRecording(OCULANT_CLIENT_TOOL, secondsPerFigure), f);
#else
  (void)size, (void)f, (void)mode;
#endif
}

// The recorder's figures alone, for a before-and-after: captures with and without ids and
// recordings with `tool`, at both sizes, on one live bench of `executable`.
void recordFigures(const std::string& executable, const std::string& demo,
                   const std::string& tool) {
  LiveBench bench(executable, demo, "on");
  if (!bench.ready()) {
    std::printf("the bench did not start\n");
    return;
  }
  const struct {
    int width, height;
    const char* name;
  } sizes[] = {{320, 240, "320x240"}, {1280, 960, "1280x960"}};
  for (const auto& size : sizes) {
    if (size.width != 320 && !bench.resizeCameras(size.width, size.height)) {
      std::printf("the camera windows could not be resized to %s\n", size.name);
      return;
    }
    const FetchFigures f = measureFetch(size.width, size.height, secondsPerFigure, false);
    const std::string prefix = std::string("capture ") + size.name;
    row(prefix + " + ids (pairs/s)", f.withIdsPairsPerSecond, f.groundTruthPairsPerSecond,
        f.groundTruthPairsPerSecond / f.withIdsPairsPerSecond, "x the cost without ids");
    if (chdir(demo.c_str()) == 0) {
      idPassRow(prefix, f, measureIdPass(size.width, size.height, secondsPerFigure));
    }
    recordRow(std::string("record ") + size.name + " (samples/s)",
              measureRecording(tool, secondsPerFigure), f);
    if (f.wrongAnswers > 0) std::printf("  WRONG ANSWERS: %ld\n", f.wrongAnswers);
  }
}

// One camera's fetches with a hostile peer at work, against the same fetches without it.
void attackRow(const AttackFigures& f, const char* mode) {
  row(std::string("fetch 320x240 ") + mode + ", hostile peer (frames/s)", f.attackedPerSecond,
      f.quietPerSecond, f.quietPerSecond / f.attackedPerSecond,
      "x the cost without the hostile peer");
  if (f.failedFetches > 0) std::printf("  FAILED FETCHES: %ld\n", f.failedFetches);
}

// Start-up, idle CPU and fetches of a live bench in one pacing mode; the idle CPU is returned.
double liveFigures(const std::string& executable, const std::string& demo, const char* pacing,
                   double startupFloor, const FetchFloor& floorSmall,
                   const FetchFloor& floorLarge) {
  const std::string mode = std::string("pacing ") + pacing;
  LiveBench bench(executable, demo, pacing);
  if (!bench.ready()) {
    std::printf("the bench (%s) did not start\n", mode.c_str());
    return 0;
  }
  row("start-up until 3 windows answer, " + mode + " (ms)", bench.startupMs(), startupFloor,
      bench.startupMs() / startupFloor, "x one window's open + draw + read");
  sleep(1);  // let start-up work settle
  const double cpuBefore = bench.cpuSeconds();
  const double start = nowSeconds();
  sleep(static_cast<unsigned>(std::max(2.0, secondsPerFigure)));
  const double idle = (bench.cpuSeconds() - cpuBefore) / (nowSeconds() - start);
  const bool paced = std::string(pacing) == "on";
  const FetchFigures small = measureFetch(320, 240, secondsPerFigure, paced);
  fetchRows("320x240", small, floorSmall, mode.c_str());
  if (paced) {
    recordRow("320x240", small, mode.c_str());
    attackRow(measureFetchUnderAttack(320, 240, secondsPerFigure), mode.c_str());
    if (bench.resizeCameras(1280, 960)) {
      const FetchFigures large = measureFetch(1280, 960, secondsPerFigure, true);
      fetchRows("1280x960", large, floorLarge, mode.c_str());
      recordRow("1280x960", large, mode.c_str());
    } else {
      std::printf("the camera windows could not be resized to 1280x960\n");
    }
  }
  return idle;
}

}  // namespace

int main(int argc, char** argv) {
  self = "/proc/" + std::to_string(getpid()) + "/exe";
  if (argc == 2 && std::string(argv[1]) == "--open-once") return openDrawReadOnce(320, 240) ? 0 : 1;
  if (argc == 2 && std::string(argv[1]) == "--renderer") return printRenderer() ? 0 : 1;
  // Fetches from a bench already running (for profiling): --fetch-only SECONDS WIDTH HEIGHT
  if (argc == 5 && std::string(argv[1]) == "--fetch-only") {
    const FetchFigures f =
        measureFetch(std::atoi(argv[3]), std::atoi(argv[4]), std::atof(argv[2]), false);
    std::printf("left frames/s %.1f  right frames/s %.1f  pairs/s %.1f  wrong answers %ld\n",
                f.framesPerSecond, f.rightPerSecond, f.pairsPerSecond, f.wrongAnswers);
    return f.wrongAnswers == 0 ? 0 : 1;
  }
  // The hostile-peer figure alone, against a bench already running: --attack-only SECONDS
  if (argc == 3 && std::string(argv[1]) == "--attack-only") {
    const AttackFigures f = measureFetchUnderAttack(320, 240, std::atof(argv[2]));
    attackRow(f, "pacing as running");
    return f.attackedPerSecond > 0 ? 0 : 1;
  }
  // The recorder's figures of one executable and client tool, alternated with another's by
  // scripts/bench --record: --record-only SECONDS EXECUTABLE DEMO_FOLDER CLIENT_TOOL
  if (argc == 6 && std::string(argv[1]) == "--record-only") {
    secondsPerFigure = std::atof(argv[2]);
    setenv("OCULANT_RUNTIME_DIR", makeFolder("run").c_str(), 1);
    const std::string demo = makeFolder("demo");
    run("cp " + std::string(argv[4]) + "/config.txt " + argv[4] + "/*.bmp " + demo);
    std::printf("%-44s %10s %10s %8s\n", "figure", "value", "floor", "ratio");
    recordFigures(argv[3], demo, argv[5]);
    run("rm -rf " + demo + " " + std::string(std::getenv("OCULANT_RUNTIME_DIR")));
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: oculant_bench EXECUTABLE DEMO_FOLDER [SECONDS_PER_FIGURE]\n");
    return 2;
  }
  self = argv[0][0] == '/' ? argv[0] : std::string(get_current_dir_name()) + "/" + argv[0];
  const std::string executable = argv[1];
  const std::string demoSource = argv[2];
  if (argc > 3) secondsPerFigure = std::atof(argv[3]);
  // A runtime folder and a copy of the demo of this run's own, so no other bench is met and
  // the saved frames land in scratch space.
  setenv("OCULANT_RUNTIME_DIR", makeFolder("run").c_str(), 1);
  const std::string demo = makeFolder("demo");
  run("cp " + demoSource + "/config.txt " + demoSource + "/*.bmp " + demo);
  const std::string stress = stressFolder(demo);
  const std::string mesh = meshFolder();

  std::printf("%-44s %10s %10s %8s\n", "figure", "value", "floor", "ratio");
  renderFigures("demo", demo);
  renderFigures("stress", stress);
  renderFigures("mesh of 100,000 triangles", mesh);
  const FetchFloor floorSmall = fetchFloor(320, 240, demo);
  const FetchFloor floorLarge = fetchFloor(1280, 960, demo);
  const double startupFloor = startupFloorMs(demo);
  const double idlePaced =
      liveFigures(executable, demo, "on", startupFloor, floorSmall, floorLarge);
  const double idleBusy =
      liveFigures(executable, demo, "off", startupFloor, floorSmall, FetchFloor{0, 0, 0});
  row("idle CPU of the 3 instances, paced (% of a core)", idlePaced * 100, idleBusy * 100,
      idleBusy > 0 ? idlePaced / idleBusy : 0, "x the busy loop's");
  run("rm -rf " + demo + " " + stress + " " + mesh + " " +
      std::string(std::getenv("OCULANT_RUNTIME_DIR")));
  return 0;
}
