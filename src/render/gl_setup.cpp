#include "render/gl_setup.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "platform/platform.h"
#include "render/camera_model.h"
#include "render/gl_resources.h"
#include "render/text_overlay.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

namespace {

void showSetUpError() {
  showMessageBox("Error1002", "Error", MessageBoxIcon::PLAIN);
}

// width / height; a client area without height (a minimised window) keeps the last valid
// aspect, or 1 before there was one, so the projection never degenerates.
float aspectFor(int width, int height) {
  if (width > 0 && height > 0) return static_cast<float>(width) / static_cast<float>(height);
  const float last = glResources.aspect;
  return std::isfinite(last) && last > 0 ? last : 1.0f;
}

void setLight() {
  const GLfloat position[] = {0, 0, 100, 0};  // directional, fixed in eye space
  const GLfloat white[] = {1, 1, 1, 1};
  const GLfloat ambientModel[] = {0.1f, 0.1f, 0.1f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  glLightfv(GL_LIGHT0, GL_AMBIENT, white);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientModel);
}

void setOverviewStart(InstanceRole role, OverviewView* overview) {
  // Only the overview stands back from the scene; the eye views keep distance 0 so that the
  // overview transform leaves them untouched.
  if (role == ROLE_SCENE) overview->distance = 20.0;
  overview->zoomStep = 0.5;
  overview->tilt = 0;
  overview->spin = 0;
  overview->tiltStep = 6.0f;
  overview->panX = 0.0;
  overview->panY = 0.0;
  overview->panStep = 0.5;
  overview->spinStep = 2.5f;
}

}  // namespace

int selectPixelFormat(HDC deviceContext) {
  const PixelFormatRequest request = {16, 24, true};
  if (setPixelFormat(deviceContext, request)) return 1;
  showSetUpError();
  return 0;
}

int setUpGl(HWND window, InstanceRole role, const RigSettings& rig, OverviewView* overview) {
  glResources.deviceContext = getDC(window);
  if (!selectPixelFormat(glResources.deviceContext)) return -1;
  glResources.renderContext = createGlContext(glResources.deviceContext);
  // Without a current context every later GL call would act on nothing (or on some other
  // context), so a context that cannot be made fails like a missing pixel format.
  if (glResources.renderContext == 0 ||
      !makeCurrent(glResources.deviceContext, glResources.renderContext)) {
    if (glResources.renderContext != 0) deleteGlContext(glResources.renderContext);
    glResources.renderContext = 0;
    showSetUpError();
    return -1;
  }
  int width = 0;
  int height = 0;
  getClientRect(window, &width, &height);
  initGlState(width, height, role, rig, overview);
  createTextFont(glResources.deviceContext);
  return 0;
}

void initGlState(int width, int height, InstanceRole role, const RigSettings& rig,
                 OverviewView* overview) {
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glResources.aspect = aspectFor(width, height);
  // A fresh context's projection is still the identity.
  gluPerspective(fieldOfViewFor(role, rig), glResources.aspect, kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);
  glShadeModel(GL_SMOOTH);
  setLight();
  glEnable(GL_COLOR_MATERIAL);
  setOverviewStart(role, overview);
}

void resizeGl(int width, int height, InstanceRole role, const RigSettings& rig) {
  glViewport(0, 0, width, height);
  glResources.aspect = aspectFor(width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fieldOfViewFor(role, rig), glResources.aspect, kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);
}

int tearDownGl(HWND window) {
  // The glyph lists live in the context; with no context there is nothing to delete.
  if (glResources.renderContext != 0) {
    deleteTextFont();
    deleteGlContext(glResources.renderContext);
  }
  if (glResources.deviceContext != 0) releaseDC(window, glResources.deviceContext);
  glResources.renderContext = 0;
  glResources.deviceContext = 0;
  return 0;
}
