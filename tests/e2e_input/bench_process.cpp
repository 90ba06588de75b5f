#include "bench_process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "bmp_builder.h"
#include "magick.h"
#include "platform/transport.h"
#include "x_input.h"

const char BenchProcess::kTexturedScene[] =
    "ALL=3\n"
    "OBJECT1=1\nOBJECT1_X=-2\nOBJECT1_Y=1.5\nOBJECT1_Z=0\nOBJECT1_WIDTH=6\nOBJECT1_HEIGHT=3\n"
    "OBJECT1_TEXTURE=ON\nOBJECT1_FILE=wall.bmp\n"
    "OBJECT2=1\nOBJECT2_X=-4\nOBJECT2_Y=-4\nOBJECT2_WIDTH=1\nOBJECT2_HEIGHT=1\n"
    "OBJECT3=1\nOBJECT3_X=0.2\nOBJECT3_Y=2\nOBJECT3_Z=0.5\nOBJECT3_WIDTH=1\nOBJECT3_HEIGHT=1\n"
    "OBJECT3_TEXTURE=ON\nOBJECT3_FILE=wall.bmp\n";

namespace {

void endProcess(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

BenchProcess::BenchProcess(const char* config) {
  // Cameras whose starter ends become children of this process, so they can be reaped.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  char pattern[] = "/tmp/oculant-input-e2e-XXXXXX";
  if (mkdtemp(pattern)) folder_ = pattern;
  setenv("OCULANT_RUNTIME_DIR", folder_.c_str(), 1);
  // A red and yellow checkerboard: every turn of the view shows.
  BmpLayout wall = makeLayout(40, true, 8, 8, 24);
  wall.pixels =
      packRows(8, 8, 24, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0xFFFF00u; });
  writeFile(folder_ + "/wall.bmp", buildBmp(wall));
  std::ofstream(folder_ + "/config.txt") << config;
}

BenchProcess::~BenchProcess() {
  endProcess(scene_);
  for (pid_t camera : cameras_) endProcess(camera);
  // Reaps what else the bench started (cameras that ended by themselves).
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
}

bool BenchProcess::start(const std::function<void()>& whileWaiting) {
  const std::string folder = folder_;
  scene_ = fork();
  if (scene_ == 0) {
    setenv("OCULANT_HEADLESS", "1", 1);
    if (chdir(folder.c_str()) != 0) _exit(5);
    execl(OCULANT_EXECUTABLE, "oculant", static_cast<char*>(nullptr));
    _exit(6);
  }
  return scene_ > 0 && waitUntil([] { return transportFindClass("oculant") != 0; }, whileWaiting);
}

void BenchProcess::noteCameras() {
  const char* classes[2] = {"oculant1", "oculant2"};
  for (int i = 0; i < 2; ++i) {
    // A handle carries its process id above its low 10 bits.
    const HWND window = transportFindClass(classes[i]);
    if (window != 0 && !transportIsLocal(window)) cameras_[i] = static_cast<pid_t>(window >> 10);
  }
}
