#include "render/frame_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "image/object_id_capture.h"
#include "render/camera_model.h"
#include "render/geometry.h"
#include "render/gl_resources.h"
#include "render/mesh_slots.h"
#include "render/object_turn.h"
#include "render/overview_transform.h"
#include "render/text_overlay.h"
#include "scene/camera_view.h"

namespace {

constexpr double kRigSphereRadius = 0.5;
constexpr int kRigSphereSlices = 10;
constexpr int kRigSphereStacks = 10;
// Reaching out of the sphere, whose radius is 0.5.
constexpr double kAttitudeAheadLength = 1.2;
constexpr double kAttitudeUpLength = 0.9;
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

// Two unlit lines from the rig's centre: along its viewing axis and its up axis, so a pitched or
// rolled rig shows how it is turned. A level rig has none, and its overview stays as it was.
void drawAttitudeMarker(const RigPose& pose) {
  const RigAxes axes = rigAxesAt(pose);
  const double centre[3] = {pose.rigX, pose.rigY, pose.height};
  // The frame's colour and lighting come back with the pop: the objects after it keep theirs.
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
  glDisable(GL_LIGHTING);
  glBegin(GL_LINES);
  glColor3f(1, 1, 0);
  glVertex3d(centre[0], centre[1], centre[2]);
  glVertex3d(centre[0] + kAttitudeAheadLength * axes.ahead[0],
             centre[1] + kAttitudeAheadLength * axes.ahead[1],
             centre[2] + kAttitudeAheadLength * axes.ahead[2]);
  glColor3f(0, 1, 1);
  glVertex3d(centre[0], centre[1], centre[2]);
  glVertex3d(centre[0] - kAttitudeUpLength * axes.down[0],
             centre[1] - kAttitudeUpLength * axes.down[1],
             centre[2] - kAttitudeUpLength * axes.down[2]);
  glEnd();
  glPopAttrib();
}

void drawRigSphere(const CameraView& view, GLUquadric* quadric) {
  const float x = static_cast<float>(view.pose.rigX);
  const float y = static_cast<float>(view.pose.rigY);
  const float z = static_cast<float>(view.pose.height);
  glTranslatef(x, y, z);
  // Without a quadric there is no sphere to draw; the rest of the frame still is.
  if (quadric != nullptr) gluSphere(quadric, kRigSphereRadius, kRigSphereSlices, kRigSphereStacks);
  glTranslatef(-x, -y, -z);
  if (quadric != nullptr && !rigIsLevel(view.pose)) drawAttitudeMarker(view.pose);
}

// Places the eye beside the rig, perpendicular to the heading, looking one unit ahead along
// its own viewing direction (the heading itself unless the right eye is set turned).
void lookFromEye(const CameraView& view, bool rightEye) {
  const EyeView eye = eyeViewAt(view.pose, view.rig, rightEye);
  gluLookAt(eye.eye[0], eye.eye[1], eye.eye[2], eye.centre[0], eye.centre[1], eye.centre[2],
            eye.up[0], eye.up[1], eye.up[2]);
}

// Only textured slabs and lattices, and meshes whose file was read, have a shape in the frame.
bool hasShape(int index, const SceneObject& object) {
  if (object.kind == OBJECT_MESH) return !meshSlots[index].parts.empty();
  return (object.kind == OBJECT_SLAB || object.kind == OBJECT_LATTICE) && object.textured;
}

// Frame, id pass and overview all draw through here, so a turned object stands turned in each.
void drawShape(const SceneObject& object) {
  const bool turned = objectIsTurned(object);
  if (turned) {
    glPushMatrix();
    applyObjectTurn(object);
  }
  if (object.kind == OBJECT_SLAB) {
    drawSlab(object);
  } else {
    drawLattice(object);
  }
  if (turned) glPopMatrix();
}

void bindWithNearestFilters(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  // Textures have a single level, so only non-mipmap filters make them usable.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// Only textured objects and meshes are drawn; an untextured slab or lattice sets the colour
// that modulates the textured objects after it.
void drawObject(int index, const SceneObject& object) {
  if (object.kind == OBJECT_MESH) {
    drawMesh(object, meshSlots[index], MeshShading::LIT);
    return;
  }
  if (object.kind != OBJECT_SLAB && object.kind != OBJECT_LATTICE) return;
  if (!hasShape(index, object)) {
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
  drawShape(object);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

// The objects a frame shows, by index, handed to draw in list order.
template <typename Draw>
void forEachShownObject(const CameraView& view, Draw draw) {
  const SceneModel& scene = *view.scene;
  int count = scene.objectCount;
  if (count > kMaxSceneObjects) count = kMaxSceneObjects;
  for (int i = 0; i < count; ++i) {
    if (view.role == ROLE_SCENE && i == kThirdObjectIndex && !view.showThirdObject) continue;
    draw(i, scene.objects[i]);
  }
}

// The overview transform, then the rig (overview) or the eye (camera views).
void placeViewer(const CameraView& view, GLUquadric* quadric) {
  const OverviewView& overview = view.overview;
  applyPanTransform(overview.panX, overview.panY, 0, 0, 0, 0);
  applyOrbitTransform(overview.distance, 0, overview.tilt, overview.spin);
  if (view.role == ROLE_SCENE) {
    drawRigSphere(view, quadric);
  } else {
    lookFromEye(view, view.role == ROLE_RIGHT_CAMERA);
  }
}

}  // namespace

void drawFrame(const CameraView& view) {
  glEnable(GL_LIGHTING);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor3f(0.5f, 0.3f, 0.3f);
  setFrameMaterial();
  GLUquadric* quadric = gluNewQuadric();
  glPushMatrix();
  placeViewer(view, quadric);
  glEnable(GL_TEXTURE_2D);
  // Default planes: s follows object x and t object y.
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  forEachShownObject(view, [](int index, const SceneObject& object) { drawObject(index, object); });
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
  glLoadIdentity();
  if (view.role == ROLE_SCENE) drawAxisMarker(view.overview, view.pose.heading);
  if (quadric != nullptr) gluDeleteQuadric(quadric);
}

void drawObjectIds(const CameraView& view) {
  // Every setting changed here comes back with the pop, so the next frame is drawn as ever.
  glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
  // Flat colours only: no light, texture or dithering may touch the bits of an id.
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DITHER);
  glDisable(GL_BLEND);
  glShadeModel(GL_FLAT);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  // The rig sphere of the overview is no scene object: it is left out.
  placeViewer(view, nullptr);
  forEachShownObject(view, [](int index, const SceneObject& object) {
    if (!hasShape(index, object)) return;
    setObjectIdColour(static_cast<uint16_t>(index + 1));
    if (object.kind == OBJECT_MESH) {
      drawMesh(object, meshSlots[index], MeshShading::GEOMETRY_ONLY);
    } else {
      drawShape(object);
    }
  });
  glPopMatrix();
  glLoadIdentity();
  glPopAttrib();
}
