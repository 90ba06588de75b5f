#include "bench_process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

#include "platform/transport.h"
#include "x_input.h"

namespace {

void putLe(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

// An 8 x 8 checkerboard of red and yellow as a 24-bit BMP: a texture whose every turn of the
// view shows.
std::string checkerBmp() {
  std::string file = "BM";
  putLe(&file, 54 + 8 * 24, 4);
  putLe(&file, 0, 4);
  putLe(&file, 54, 4);
  putLe(&file, 40, 4);
  putLe(&file, 8, 4);
  putLe(&file, 8, 4);
  putLe(&file, 1, 2);
  putLe(&file, 24, 2);
  for (int i = 0; i < 6; ++i) putLe(&file, 0, 4);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      file += std::string((x + y) % 2 ? "\x00\x00\xff" : "\x00\xff\xff", 3);
    }
  }
  return file;
}

}  // namespace

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
  std::ofstream(folder_ + "/wall.bmp", std::ios::binary) << checkerBmp();
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
