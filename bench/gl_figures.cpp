#include "gl_figures.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/paint.h"
#include "bench_clock.h"
#include "image/frame_capture.h"
#include "image/object_id_capture.h"
#include "messaging/instance.h"
#include "platform/platform.h"
#include "render/frame_renderer.h"
#include "render/gl_resources.h"
#include "render/gl_setup.h"
#include "render/mesh_slots.h"
#include "render/texture_upload.h"
#include "scene/camera_view.h"
#include "scene/config_file.h"
#include "vertex_count.h"

namespace {

LRESULT quietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return defWindowProc(window, message, wParam, lParam);
}

// A shown window of the role with the scene loaded, its GL context current.
class RoleWindow {
 public:
  RoleWindow(InstanceRole asRole, int width, int height) {
    static int serial = 0;
    const std::string className = "bench_gl_" + std::to_string(++serial);
    resetGlResources();
    resetMeshSlots();
    instance_.role = asRole;
    readConfigFile(asRole, &instance_.sceneModel, &instance_.rigSettings);
    instance_.rigPose = RigPose{0.7, 0.7, 90};
    if (!registerWindowClass(className.c_str(), quietProc)) return;
    window_ = createWindow(className.c_str(), "bench", 0, 0, width, height);
    if (window_ == 0) return;
    if (setUpGl(window_, asRole, instance_.rigSettings, &instance_.overviewView) != 0) return;
    uploadTextures(asRole, &instance_.sceneModel, instance_.imageSlots);
    uploadMeshes(asRole, instance_.sceneModel);
    showWindow(window_);
    MSG message;
    while (peekMessage(&message)) dispatchMessage(message);
    ok_ = true;
  }
  ~RoleWindow() {
    if (window_ == 0) return;
    tearDownGl(window_);
    destroyWindow(window_);
  }
  bool ok() const { return ok_; }
  CameraView view(int width, int height) const {
    return currentCameraView(instance_, width, height);
  }

 private:
  Instance instance_;
  HWND window_ = 0;
  bool ok_ = false;
};

// Ids drawn over the frame just drawn and read back, as a capture with ids does it.
double idPassRate(const CameraView& view, double seconds) {
  std::vector<uint16_t> ids;
  return ratePerSecond(seconds, [&] {
    drawObjectIds(view);
    return captureObjectIds(&ids, view.width, view.height);
  });
}

}  // namespace

bool measureGl(InstanceRole asRole, int width, int height, double seconds, GlFigures* out) {
  RoleWindow window(asRole, width, height);
  if (!window.ok()) return false;
  const HDC dc = glResources.deviceContext;
  const CameraView view = window.view(width, height);
  paintFrame(view);  // the first frame pays for texture residency and the like
  const long long before = verticesSent();
  drawFrame(view);
  out->verticesPerFrame = static_cast<double>(verticesSent() - before);
  out->framesPerSecond = ratePerSecond(seconds, [&view] {
    paintFrame(view);
    glFinish();
    return true;
  });
  out->emptyPerSecond = ratePerSecond(seconds, [dc] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    swapBuffers(dc);
    glFinish();
    return true;
  });
  // The floor of a fetch: the drawn frame read as the cameras read it, then copied once.
  drawFrame(view);
  const int stride = strideForWidth(width);
  std::vector<uint8_t> read(static_cast<size_t>(stride) * height);
  std::vector<uint8_t> copy(read.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  out->readsPerSecond = ratePerSecond(seconds, [&] {
    glReadPixels(0, 0, width, height, 0x80E0 /* GL_BGR */, GL_UNSIGNED_BYTE, read.data());
    std::memcpy(copy.data(), read.data(), read.size());
    return true;
  });
  out->idPassesPerSecond = asRole == ROLE_SCENE ? 0 : idPassRate(view, seconds);
  return true;
}

double measureIdPass(int width, int height, double seconds) {
  RoleWindow window(ROLE_LEFT_CAMERA, width, height);
  if (!window.ok()) return 0;
  const CameraView view = window.view(width, height);
  drawFrame(view);
  return idPassRate(view, seconds);
}

bool openDrawReadOnce(int width, int height) {
  RoleWindow window(ROLE_LEFT_CAMERA, width, height);
  if (!window.ok()) return false;
  paintFrame(window.view(width, height));
  CaptureImage image = {};
  captureFrame(&image, width, height);
  const bool read = image.pixels != nullptr;
  freeCaptureImage(&image);
  return read;
}

bool printRenderer() {
  RoleWindow window(ROLE_LEFT_CAMERA, 32, 32);
  if (!window.ok()) return false;
  std::printf("%s, %s, OpenGL %s\n", glGetString(GL_VENDOR), glGetString(GL_RENDERER),
              glGetString(GL_VERSION));
  return true;
}
