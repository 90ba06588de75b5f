// A long run of the bench under steady use: pose messages, frame fetches and saves, checking
// that every answer is right and that no instance grows in memory or open descriptors.
//   oculant_soak EXECUTABLE DEMO_FOLDER MINUTES
// Exit code 0 when every answer was right and memory and descriptors stayed flat.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "bench_clock.h"
#include "live_bench.h"
#include "oculant/client.h"

namespace {

constexpr int kPoses = 8;
constexpr int kSaveEvery = 50;          // fetches between two saves
constexpr double kSampleSeconds = 10;   // between two samples of memory and descriptors
constexpr double kWarmUpSeconds = 20;   // buffers and caches fill up before the baseline
constexpr long kRssToleranceKb = 1024;  // growth that still counts as flat

long residentKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (in >> key) {
    long value = 0;
    if (key == "VmRSS:" && in >> value) return value;
    std::string rest;
    std::getline(in, rest);
  }
  return -1;
}

int countDescriptors(pid_t pid) {
  DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (dir == nullptr) return -1;
  int count = 0;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count - 2;  // . and ..
}

// A connection can still be closing just after its reply arrived: the fewest of a few counts.
int openDescriptors(pid_t pid) {
  int fewest = countDescriptors(pid);
  for (int i = 0; i < 5; ++i) {
    usleep(20000);
    fewest = std::min(fewest, countDescriptors(pid));
  }
  return fewest;
}

struct Sample {
  long rss[3];
  int fds[3];
};

Sample sample(const LiveBench& bench) {
  Sample s;
  for (int i = 0; i < 3; ++i) {
    s.rss[i] = residentKb(bench.pid(i));
    s.fds[i] = openDescriptors(bench.pid(i));
  }
  return s;
}

void setPose(oculant::Client& client, int pose) {
  client.setHeading(60 + 10 * pose, true);
  client.setPosition(0.7 + 0.1 * (pose % 3), 0.7 - 0.1 * (pose % 2), true);
}

bool savedFileHolds(const std::string& path, const oculant::Frame& frame) {
  std::ifstream in(path, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return file.size() == 54 + frame.pixels.size() &&
         file.compare(54, std::string::npos, reinterpret_cast<const char*>(frame.pixels.data()),
                      frame.pixels.size()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: oculant_soak EXECUTABLE DEMO_FOLDER MINUTES\n");
    return 2;
  }
  const double seconds = std::atof(argv[3]) * 60;
  char runtime[] = "/tmp/oculant-soak-run-XXXXXX";
  char demo[] = "/tmp/oculant-soak-demo-XXXXXX";
  setenv("OCULANT_RUNTIME_DIR", mkdtemp(runtime), 1);
  mkdtemp(demo);
  const std::string source = argv[2];
  if (std::system(("cp " + source + "/config.txt " + source + "/*.bmp " + demo).c_str()) != 0) {
    return 2;
  }
  int status = 1;
  {
    LiveBench bench(argv[1], demo, "on");
    if (!bench.ready()) {
      std::fprintf(stderr, "the bench did not start\n");
      return 1;
    }
    oculant::Client client;
    oculant::Frame expected[kPoses][2];
    for (int pose = 0; pose < kPoses; ++pose) {
      setPose(client, pose);
      if (!client.grabPair(&expected[pose][0], &expected[pose][1])) return 1;
    }
    long fetches = 0, saves = 0, wrong = 0;
    oculant::Frame left, right;
    const double start = nowSeconds();
    double nextSample = start + kWarmUpSeconds;
    Sample baseline = {}, last = {};
    bool haveBaseline = false;
    long rssGrowth[3] = {0, 0, 0};
    while (nowSeconds() - start < seconds) {
      const int pose = static_cast<int>(fetches % kPoses);
      setPose(client, pose);
      const bool ok = client.grabPair(&left, &right) && left.pixels == expected[pose][0].pixels &&
                      right.pixels == expected[pose][1].pixels;
      wrong += !ok;
      ++fetches;
      if (fetches % kSaveEvery == 0) {
        ++saves;
        wrong += !(client.saveFrames() && savedFileHolds(std::string(demo) + "/image1.bmp", left) &&
                   savedFileHolds(std::string(demo) + "/image2.bmp", right));
      }
      if (nowSeconds() >= nextSample) {
        last = sample(bench);
        if (!haveBaseline) baseline = last;
        haveBaseline = true;
        for (int i = 0; i < 3; ++i) {
          rssGrowth[i] = std::max(rssGrowth[i], last.rss[i] - baseline.rss[i]);
        }
        std::printf(
            "%5.0f s  pairs %7ld  saves %5ld  wrong %ld  RSS kB %6ld %6ld %6ld  fds %d %d %d\n",
            nowSeconds() - start, fetches, saves, wrong, last.rss[0], last.rss[1], last.rss[2],
            last.fds[0], last.fds[1], last.fds[2]);
        std::fflush(stdout);
        nextSample += kSampleSeconds;
      }
    }
    bool rssFlat = haveBaseline, fdsFlat = haveBaseline;
    for (int i = 0; i < 3; ++i) {
      rssFlat = rssFlat && rssGrowth[i] <= kRssToleranceKb;
      fdsFlat = fdsFlat && last.fds[i] == baseline.fds[i];
    }
    const bool flat = rssFlat && fdsFlat;
    std::printf(
        "soak: %.1f min, %ld pairs (%.0f/s), %ld saves, %ld wrong answers; RSS growth "
        "after warm-up %ld %ld %ld kB (%s), descriptors %s: %s\n",
        seconds / 60, fetches, fetches / (nowSeconds() - start), saves, wrong, rssGrowth[0],
        rssGrowth[1], rssGrowth[2], rssFlat ? "flat" : "GROWING", fdsFlat ? "unchanged" : "CHANGED",
        wrong == 0 && flat ? "PASS" : "FAIL");
    status = wrong == 0 && flat ? 0 : 1;
  }
  std::system((std::string("rm -rf ") + runtime + " " + demo).c_str());
  return status;
}
