// The real executable in a folder of its own for the input end-to-end tests. The folder is also
// the runtime folder, so the bench, the client library and the test's own transport meet there.
#pragma once

#include <functional>
#include <string>

#include "test_bench.h"

class BenchProcess {
 public:
  // The rig starts at (0.7, 0.7) looking along +y with a textured floor ahead; object 3, a small
  // textured slab that F1 shows in the overview, floats above it.
  static const char kTexturedScene[];

  // Makes the folder with the config.txt given and the checkerboard texture "wall.bmp".
  explicit BenchProcess(const char* config = kTexturedScene);
  // Ends the scene and the cameras, wherever they came from.
  ~BenchProcess();

  const std::string& folder() const { return dir_.path(); }

  // Starts the scene instance, calling whileWaiting (the test may have to serve messages
  // meanwhile) until its window listens.
  bool start(const std::function<void()>& whileWaiting = {});

 private:
  PrivateRuntimeDir dir_;
  pid_t scene_ = -1;
};
