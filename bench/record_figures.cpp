#include "record_figures.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "bench_clock.h"
#include "oculant/client.h"

namespace {

// Headings a little apart around the rig's own pose, so the view stays on the scene.
bool writePoses(const std::string& fileName, const oculant::Pose& around, long count) {
  FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) return false;
  for (long i = 0; i < count; ++i) {
    std::fprintf(file, "%.17g %.17g %.17g\n", around.x, around.y, around.heading + (i % 20) * 0.5);
  }
  return std::fclose(file) == 0;
}

// Seconds the recording of count poses into the fresh folder `out` took; negative when it
// failed.
double timeRecording(const std::string& tool, const std::string& folder, const std::string& out,
                     const oculant::Pose& around, long count) {
  const std::string poses = folder + "/poses.csv";
  if (!writePoses(poses, around, count)) return -1;
  const double start = nowSeconds();
  const int status =
      std::system((tool + " record " + poses + " " + out + " >/dev/null 2>&1").c_str());
  return status == 0 ? nowSeconds() - start : -1;
}

}  // namespace

double measureRecording(const std::string& tool, double seconds) {
  oculant::Client client;
  oculant::CameraModel camera;
  char name[] = "/tmp/oculant-bench-record-XXXXXX";
  if (!client.describe(oculant::Eye::LEFT, &camera) || mkdtemp(name) == nullptr) return 0;
  const std::string folder = name;
  // A short run finds the pace; the measured run is sized to last about `seconds`.
  constexpr long kProbe = 4;
  // Each run writes a folder of its own, and all go only after the timing: a file system may
  // be slow to make files just after many were removed.
  const double probe = timeRecording(tool, folder, folder + "/probe", camera.pose, kProbe);
  double rate = 0;
  if (probe > 0) {
    const long count = std::clamp(std::lround(kProbe / probe * seconds), kProbe, 100000L);
    const double elapsed = timeRecording(tool, folder, folder + "/dataset", camera.pose, count);
    rate = elapsed > 0 ? count / elapsed : 0;
  }
  std::system(("rm -rf " + folder).c_str());
  return rate;
}
