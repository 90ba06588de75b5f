// The real executable in a folder of its own, for end-to-end tests: a textured scene in front
// of the rig, the scene instance started there (it starts the cameras itself) and every
// process of the bench ended when the object goes.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

class BenchProcess {
 public:
  // The scene most tests use: the rig starts at (0.7, 0.7) looking along +y, a textured floor
  // lies ahead of it, and object 3, a small textured slab that F1 shows in the overview,
  // floats above that floor. Object 2 is untextured and so never drawn.
  static const char kTexturedScene[];

  // Makes the folder with the config.txt given and the texture "wall.bmp". The folder is also
  // the runtime folder: OCULANT_RUNTIME_DIR is set for this process, so the bench, the client
  // library and the transport used by the test all meet there.
  explicit BenchProcess(const char* config = kTexturedScene);
  ~BenchProcess();
  BenchProcess(const BenchProcess&) = delete;
  BenchProcess& operator=(const BenchProcess&) = delete;

  const std::string& folder() const { return folder_; }

  // Starts the scene instance and waits until its window listens, calling whileWaiting (the
  // test may have to serve messages meanwhile). False when it never came.
  bool start(const std::function<void()>& whileWaiting = {});

  // Remembers the camera processes that are running now, so that the end of the bench ends
  // them too.
  void noteCameras();

 private:
  std::string folder_;
  pid_t scene_ = -1;
  pid_t cameras_[2] = {-1, -1};
};
