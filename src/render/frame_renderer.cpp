#include "render/frame_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "render/camera_model.h"
#include "render/geometry.h"
#include "render/gl_resources.h"
#include "render/overview_transform.h"
#include "render/text_overlay.h"
#include "scene/input_state.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

namespace {

constexpr double kRigSphereRadius = 0.5;
constexpr int kRigSphereSlices = 10;
constexpr int kRigSphereStacks = 10;
constexpr int kThirdObjectIndex = 2;
constexpr int kLatticeTextureIndex = 1;  // lattices wear the texture of the second object

void setFrameMaterial() {
  const GLfloat specular[] = {1, 1, 1, 1};
  const GLfloat shininess[] = {50};
  const GLfloat ambient[] = {0.1f, 0, 0, 1};
  const GLfloat diffuse[] = {1, 0, 0, 1};
  glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT, GL_SHININESS, shininess);
  glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
}

void drawRigSphere(GLUquadric* quadric) {
  const float x = static_cast<float>(rigPose.rigX);
  const float y = static_cast<float>(rigPose.rigY);
  const float z = static_cast<float>(rigSettings.eyeHeight);
  glTranslatef(x, y, z);
  // Without a quadric there is no sphere to draw; the rest of the frame still is.
  if (quadric != nullptr) gluSphere(quadric, kRigSphereRadius, kRigSphereSlices, kRigSphereStacks);
  glTranslatef(-x, -y, -z);
}

// Places the eye beside the rig, perpendicular to the heading, looking one unit ahead along
// its own viewing direction (the heading itself unless the right eye is set turned).
void lookFromEye(bool rightEye) {
  const EyeView view = eyeViewAt(rigPose, rigSettings, rightEye);
  gluLookAt(view.eye[0], view.eye[1], view.eye[2], view.centre[0], view.centre[1], view.centre[2],
            view.up[0], view.up[1], view.up[2]);
}

void bindWithNearestFilters(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  // Textures have a single level, so only non-mipmap filters make them usable.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// Only textured objects are drawn; an untextured one sets the colour that modulates the
// textured objects after it.
void drawObject(const SceneObject& object) {
  if (object.kind != OBJECT_SLAB && object.kind != OBJECT_LATTICE) return;
  if (!object.textured) {
    glColor3f(static_cast<float>(object.R), static_cast<float>(object.G),
              static_cast<float>(object.B));
    return;
  }
  const bool slab = object.kind == OBJECT_SLAB;
  int slot = slab ? object.textureSlot : kLatticeTextureIndex;
  if (slot < 0 || slot >= kTextureSlotCapacity) slot = 0;
  bindWithNearestFilters(TextureSlots[slot]);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  if (slab) {
    drawSlab(object);
  } else {
    drawLattice(object);
  }
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

void drawObjects() {
  int count = sceneModel.objectCount;
  if (count > kMaxSceneObjects) count = kMaxSceneObjects;
  for (int i = 0; i < count; ++i) {
    if (role == ROLE_SCENE && i == kThirdObjectIndex && !inputState.showThirdObject) continue;
    drawObject(sceneModel.objects[i]);
  }
}

}  // namespace

void drawFrame() {
  glEnable(GL_LIGHTING);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor3f(0.5f, 0.3f, 0.3f);
  setFrameMaterial();
  GLUquadric* quadric = gluNewQuadric();
  glPushMatrix();
  applyPanTransform(overviewView.panX, overviewView.panY, 0, 0, 0, 0);
  applyOrbitTransform(overviewView.distance, 0, overviewView.tilt, overviewView.spin);
  if (role == ROLE_SCENE) {
    drawRigSphere(quadric);
  } else {
    lookFromEye(role == ROLE_RIGHT_CAMERA);
  }
  glEnable(GL_TEXTURE_2D);
  // Default planes: s follows object x and t object y.
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  drawObjects();
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
  glLoadIdentity();
  if (role == ROLE_SCENE) drawAxisMarker();
  if (quadric != nullptr) gluDeleteQuadric(quadric);
}
