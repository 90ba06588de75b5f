// The real executable running in a folder of its own, as a user starts it, for the figures
// that need the whole bench: start-up, idle CPU and frame fetches.
#pragma once

#include <sys/types.h>

#include <string>

class LiveBench {
 public:
  // Starts the executable in folder with OCULANT_PACING set to pacing ("on" or "off") and
  // waits until the scene window takes a frame request and both cameras answer one.
  LiveBench(const std::string& executable, const std::string& folder, const char* pacing);
  ~LiveBench();
  LiveBench(const LiveBench&) = delete;
  LiveBench& operator=(const LiveBench&) = delete;

  bool ready() const { return startupMs_ >= 0; }
  // From the start of the executable until all three windows answered; -1 when they never did.
  double startupMs() const { return startupMs_; }

  // The processes: 0 the scene, 1 the left camera, 2 the right camera.
  pid_t pid(int index) const { return pids_[index]; }

  // CPU time the three processes used so far, in seconds.
  double cpuSeconds() const;

  // Resizes both camera windows (their client areas) with xdotool and waits until both
  // answer with frames of the new size. False when they did not within a few seconds.
  bool resizeCameras(int width, int height);

 private:
  pid_t pids_[3] = {-1, -1, -1};  // scene, left camera, right camera
  double startupMs_ = -1;
};
