#include "bench_process.h"

#include <fstream>

#include "bmp_builder.h"
#include "magick.h"
#include "real_bench.h"
#include "x_input.h"

const char BenchProcess::kTexturedScene[] =
    "ALL=3\n"
    "OBJECT1=1\nOBJECT1_X=-2\nOBJECT1_Y=1.5\nOBJECT1_Z=0\nOBJECT1_WIDTH=6\nOBJECT1_HEIGHT=3\n"
    "OBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n"
    "OBJECT2=1\nOBJECT2_X=-4\nOBJECT2_Y=-4\nOBJECT2_WIDTH=1\nOBJECT2_HEIGHT=1\n"
    "OBJECT3=1\nOBJECT3_X=0.2\nOBJECT3_Y=2\nOBJECT3_Z=0.5\nOBJECT3_WIDTH=1\nOBJECT3_HEIGHT=1\n"
    "OBJECT3_TEXTURE=ON\nOBJECT3_FILE=wall.bmp\n";

BenchProcess::BenchProcess(const char* config) {
  adoptOrphans();  // cameras whose starter ends can still be reaped here
  // A red and yellow checkerboard: every turn of the view shows.
  BmpLayout wall = makeLayout(40, true, 8, 8, 24);
  wall.pixels =
      packRows(8, 8, 24, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0xFFFF00u; });
  writeFile(folder() + "/wall.bmp", buildBmp(wall));
  std::ofstream(folder() + "/config.txt") << config;
}

BenchProcess::~BenchProcess() {
  for (const char* className : {"oculant1", "oculant2"}) {
    // A handle carries its process id above its low 10 bits.
    const HWND window = transportFindClass(className);
    if (window != 0 && !transportIsLocal(window)) kill(pid_t(window >> 10), SIGKILL);
  }
  if (scene_ > 0) kill(scene_, SIGKILL);
  waitUntil([] { return waitpid(-1, nullptr, WNOHANG) < 0; });
}

bool BenchProcess::start(const std::function<void()>& whileWaiting) {
  scene_ = launchBench(folder());
  return scene_ > 0 && waitUntil([] { return transportFindClass("oculant") != 0; }, whileWaiting);
}
