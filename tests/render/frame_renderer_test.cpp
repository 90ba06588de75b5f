// Frames as they come out of the back buffer. (The ground-truth tests measure the stereo shift
// between the eye views on the running bench.)
#include "render/frame_renderer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gl_test_window.h"
#include "image/object_id_capture.h"
#include "magick.h"
#include "messaging/instance.h"
#include "render/gl_resources.h"
#include "render/gl_setup.h"
#include "render/mesh_slots.h"
#include "render/texture_upload.h"
#include "scene/camera_view.h"
#include "scene/config_file.h"

namespace {

const double kFocal = 120 / std::tan(22.5 * 3.141592653589793 / 180.0);  // a 240-row frame

// Starts each case as the bench starts a window: zeroed state, the role, the GL set-up on a
// fresh context, and a green texture.
class FrameTest : public ::testing::Test {
 protected:
  void start(InstanceRole instanceRole, int width, int height) {
    instance_ = std::make_unique<Instance>();
    resetGlResources();
    resetMeshSlots();
    instance_->role = instanceRole;
    width_ = width;
    height_ = height;
    window_.reset(new GlTestWindow(width, height));
    ASSERT_TRUE(window_->ok());
    initGlState(width, height, instance_->role, instance_->rigSettings, &instance_->overviewView);
    const uint8_t green[3] = {0, 255, 0};
    glGenTextures(1, &green_);
    glBindTexture(GL_TEXTURE_2D, green_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, green);
  }
  // Object i, textured from slot i, at (x, y, z) with the given sides; the scene holds it.
  SceneObject& place(int i, ObjectKind kind, double x, double y, double z, double w, double h) {
    SceneObject& o = instance_->sceneModel.objects[i];
    o.kind = kind, o.X = x, o.Y = y, o.Z = z, o.WIDTH = w, o.HEIGHT = h;
    o.textured = 1, o.textureSlot = i;
    instance_->sceneModel.objectCount = std::max(instance_->sceneModel.objectCount, i + 1);
    return o;
  }
  // An untextured slab: it draws nothing in an eye view and only sets the colour.
  void colour(int i, double level) {
    SceneObject& o = place(i, OBJECT_SLAB, 0, 0, 0, 0, 0);
    o.textured = 0, o.R = o.G = o.B = level;
  }
  CameraView view() const { return currentCameraView(*instance_, width_, height_); }
  std::vector<uint8_t> frame() {
    drawFrame(view());
    return window_->readBackBuffer();
  }
  std::unique_ptr<Instance> instance_;
  std::unique_ptr<GlTestWindow> window_;
  GLuint green_ = 0;
  int width_ = 0;
  int height_ = 0;
};

bool isBlack(const Pixel& p) {
  return p.r == 0 && p.g == 0 && p.b == 0;
}

// A lattice whose only visible wall faces the rig: HEIGHT 0 leaves out the side walls, and its
// nearest face lies at y = -Z - 0.2 = 3, spanning x -5..5 and z -0.8..1.2. Lattices wear the
// texture of index 1 whatever their own slot; the untextured slab before it only sets the
// colour, white, and so does the wall while it is untextured.
TEST_F(FrameTest, EyeViewsShowTexturedObjectsOnly) {
  for (InstanceRole eye : {ROLE_LEFT_CAMERA, ROLE_RIGHT_CAMERA}) {
    start(eye, 320, 240);
    colour(0, 1);
    SceneObject& wall = place(2, OBJECT_LATTICE, -5, -0.8, -3.2, 10, 0);
    wall.R = wall.G = wall.B = 1;
    wall.textured = 0;
    TextureSlots[1] = green_;
    instance_->rigPose = {0.0, 0.0, 90.0};  // looking along +y at the wall
    const auto untextured = frame();
    EXPECT_EQ(std::count(untextured.begin(), untextured.end(), 0), long(untextured.size()))
        << "untextured, role " << eye;
    wall.textured = 1;
    const auto textured = frame();
    const Pixel onWall = pixelAt(textured, 320, 160, 120);
    EXPECT_GT(onWall.g, 0) << "the wall, role " << eye;
    EXPECT_EQ(onWall.r, 0) << "the wall in its texture's colour, role " << eye;
    // The wall's top, 1 above the eye at depth 3, is kFocal / 3 = 96.6 rows above the middle.
    EXPECT_TRUE(isBlack(pixelAt(textured, 320, 160, 120 + 110))) << "above the wall, role " << eye;
  }
}

// Whether the initial overview (eye 20 above the origin, looking down, world x right and y up)
// is black where the ground point (x, y) lands.
bool overviewBlackAt(const std::vector<uint8_t>& image, double x, double y) {
  const double f = kFocal * 300 / 120;
  return isBlack(
      pixelAt(image, 800, int(std::lround(400 + f * x / 20)), int(std::lround(300 + f * y / 20))));
}

TEST_F(FrameTest, ThirdObjectIsHiddenInTheOverviewUntilF1ButAlwaysInEyeViews) {
  auto placeSlabs = [this] {
    std::fill(TextureSlots, TextureSlots + 3, green_);
    const double xs[3] = {-6, 3, -2};
    for (int i = 0; i < 3; ++i) place(i, OBJECT_SLAB, xs[i], 3, 0, 0.45, 1);
  };
  start(ROLE_SCENE, 800, 600);
  placeSlabs();
  instance_->rigPose = {0.7, 0.7, 90.0};
  EXPECT_FALSE(overviewBlackAt(frame(), -5.8, 3.5)) << "the first object is shown";
  EXPECT_TRUE(overviewBlackAt(frame(), -1.8, 3.5)) << "the third object is hidden";
  instance_->inputState.showThirdObject = true;
  EXPECT_FALSE(overviewBlackAt(frame(), -1.8, 3.5)) << "the third object on F1";
  // The left eye straight in front of the third slab (x -2..-1.55, y 3..4, top at z 0) sees
  // its top face just below the horizon, F1 or not.
  start(ROLE_LEFT_CAMERA, 320, 240);
  placeSlabs();
  instance_->rigPose = {-1.725, 0.0, 90.0};  // the left eye stands at x = -1.775
  const int slabRow = int(std::lround(120 - kFocal * 0.2 / 3.5));
  EXPECT_FALSE(isBlack(pixelAt(frame(), 320, 160, slabRow)));
}

// A slab 3 x 0.5 at (3, 3) turned a quarter about z through that corner lies along y, from x 2.5
// to 3, where the overview from above shows it; where it lay unturned stays black.
TEST_F(FrameTest, TheOverviewShowsATurnedObjectTurned) {
  start(ROLE_SCENE, 800, 600);
  TextureSlots[0] = green_;
  place(0, OBJECT_SLAB, 3, 3, 0, 3, 0.5).ROTZ = 90;
  instance_->rigPose = {0.7, 0.7, 90.0, 0.2, 0, 0};
  const auto image = frame();
  EXPECT_FALSE(overviewBlackAt(image, 2.75, 5.5)) << "the turned slab";
  EXPECT_TRUE(overviewBlackAt(image, 5.5, 3.25)) << "where it lay unturned";
}

// The overview draws the rig's sphere at its height (nearer the overview's eye, so larger) and,
// while the rig is pitched or rolled, a yellow line along its view and a cyan one along its up.
TEST_F(FrameTest, TheOverviewShowsTheRigsHeightAndAttitude) {
  // Around the rig, in the middle of the overview: the axis marker's colours stay out.
  const auto near = [](const std::vector<uint8_t>& image, Pixel colour) {
    int n = 0;
    for (int y = 200; y < 400; ++y)
      for (int x = 300; x < 500; ++x) {
        const Pixel p = pixelAt(image, 800, x, y);
        n += p.r == colour.r && p.g == colour.g && p.b == colour.b;
      }
    return n;
  };
  const auto sphere = [](const std::vector<uint8_t>& image) {
    int n = 0;
    for (int x = 0; x < 800; ++x) n += !isBlack(pixelAt(image, 800, x, 300));
    return n;
  };
  const RigPose cases[] = {
      {0, 0, 90, 0.2, 0, 0}, {0, 0, 90, 0.2, 30, 0}, {0, 0, 90, 0.2, 0, 30}, {0, 0, 0, 3, -20, 0}};
  start(ROLE_SCENE, 800, 600);
  for (const RigPose& pose : cases) {
    instance_->rigPose = pose;
    const std::vector<uint8_t> image = frame();
    const bool marked = !rigIsLevel(pose);
    EXPECT_EQ(near(image, {255, 255, 0}) > 0, marked) << pose.pitch << " " << pose.roll;
    EXPECT_EQ(near(image, {0, 255, 255}) > 0, marked) << pose.pitch << " " << pose.roll;
  }
  instance_->rigPose = {0, 0, 90, 0.2, 0, 0};
  const int low = sphere(frame());
  instance_->rigPose.height = 5;
  EXPECT_GT(sphere(frame()), low * 1.2) << "a sphere 5 up is a quarter nearer the eye 20 up";
}

// The id pass draws the frame's objects, each as its number in the scene, over the frame just
// read: a textured wall (object 2), a textured slab before it (object 3) at eye height and a
// floor (object 4); object 1 only sets a colour and so appears nowhere. The next frame is drawn
// as before: the light on the floor fades across it (its normals, positions moved up by one,
// turn from the eye as y grows), so a shading left flat would show.
TEST_F(FrameTest, ObjectIdsNameTheObjectsTheFrameShows) {
  start(ROLE_LEFT_CAMERA, 320, 240);
  std::fill(TextureSlots, TextureSlots + 4, green_);
  colour(0, 0.1);  // dim, so that the light does not saturate
  // HEIGHT 0: one wall, its face at y = -Z - 0.2 = 1.
  place(1, OBJECT_LATTICE, -5, -0.8, -1.2, 10, 0);
  // x -0.2..0.2, y -1..-0.5, z 0.1..0.3: 58 and 29 px from the middle.
  place(2, OBJECT_SLAB, -0.2, -1, 0.3, 0.4, 0.5);
  place(3, OBJECT_SLAB, -5, -2, -0.5, 10, 3);  // the floor, its top 0.7 below the eye
  // The left eye at x = 0, 1 before the slab, 3 before the wall.
  instance_->rigPose = {0.05, -2.0, 90.0};
  const std::vector<uint8_t> before = frame();
  std::vector<float> depth(320 * 240);
  glReadPixels(0, 0, 320, 240, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  drawObjectIds(view());
  std::vector<uint16_t> ids;
  ASSERT_TRUE(captureObjectIds(&ids, 320, 240));
  auto idAt = [&ids](int x, int y) { return ids[static_cast<size_t>(239 - y) * 320 + x]; };
  EXPECT_EQ(idAt(160, 120), 3) << "the slab";
  EXPECT_EQ(idAt(20, 120), 2) << "the wall beside it";
  EXPECT_EQ(idAt(160, 230), 4) << "the floor";
  EXPECT_EQ(idAt(160, 0), 0) << "above the wall";
  long mismatched = 0;
  for (size_t i = 0; i < ids.size(); ++i) mismatched += (ids[i] != 0) != (depth[i] < 1.0f);
  EXPECT_EQ(mismatched, 0) << "pixels with an id but no depth, or depth but no id";
  EXPECT_TRUE(frame() == before) << "the frame after the id pass differs";
}

// A mesh of one red material over a green floor: the mesh shows in its Kd colour, and the floor
// (drawn before it, and again in the next frame) keeps the colour it has without the mesh.
TEST_F(FrameTest, MeshesWearTheirMaterialsAndLeaveTheOtherObjectsAsTheyWere) {
  start(ROLE_LEFT_CAMERA, 320, 240);
  // Upright once read y-up: x -0.3..0.3, z 0..0.3 about its anchor.
  writeText(scratchDir() + "/m.obj",
            "mtllib m.mtl\nv -0.3 0 0\nv 0.3 0 0\nv 0.3 0.3 0\nv -0.3 0.3 0\nusemtl red\n"
            "f 1 2 3 4\n");
  writeText(scratchDir() + "/m.mtl", "newmtl red\nKd 1 0 0\n");
  TextureSlots[1] = green_;
  colour(0, 1);
  place(1, OBJECT_SLAB, -5, -2, -0.5, 10, 8);  // the floor, its top 0.7 below the eye
  // 1 ahead of the left eye, from its height up, turned 45 degrees about z so that the light
  // from the eye leaves no white highlight on it.
  SceneObject& mesh = place(2, OBJECT_MESH, 0, -1, 0.2, 0, 0);
  mesh.textured = 0, mesh.SCALE = 1, mesh.ROTZ = 45;
  std::snprintf(mesh.fileName, kFileNameSize, "%s/m.obj", scratchDir().c_str());
  instance_->rigPose = {0.05, -2.0, 90.0};  // the left eye at x = 0
  instance_->sceneModel.objectCount = 2;
  const Pixel floorAlone = pixelAt(frame(), 320, 160, 20);
  instance_->sceneModel.objectCount = 3;
  uploadMeshes(instance_->role, instance_->sceneModel);
  frame();
  const std::vector<uint8_t> withMesh = frame();
  const Pixel onMesh = pixelAt(withMesh, 320, 160, 150);
  ASSERT_FALSE(meshSlots[2].parts.empty()) << "the mesh read";
  EXPECT_GT(onMesh.r, 0) << "the mesh in its material's red";
  EXPECT_EQ(onMesh.g, 0) << "the mesh in its material's red";
  const Pixel onFloor = pixelAt(withMesh, 320, 160, 20);
  EXPECT_GT(floorAlone.g, 0) << "the floor in its green texture";
  EXPECT_EQ(onFloor.r, floorAlone.r) << "the floor as without the mesh";
  EXPECT_EQ(onFloor.g, floorAlone.g) << "the floor as without the mesh";
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (const uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  return hash;
}

// The demo scene, read and uploaded as a camera does it, drawn by both eyes at two poses and two
// sizes. The digests are those of the renderer before the rig became configurable: a scene that
// sets no rig key must keep giving these very bytes. They hold for the GL driver named here,
// since another rasteriser may round differently.
TEST_F(FrameTest, DefaultRigDrawsTheDemoSceneAsBefore) {
  const std::string recorded = "llvmpipe (LLVM 15.0.6, 256 bits), Mesa 22.3.6";
  const struct {
    InstanceRole eye;
    int width, height;
    RigPose pose;
    uint64_t digest;
  } cases[] = {
      {ROLE_LEFT_CAMERA, 320, 240, {0.7, 0.7, 90.0}, 0xe4b376a6f7ae331full},
      {ROLE_RIGHT_CAMERA, 320, 240, {0.7, 0.7, 90.0}, 0x94f0f974953d2041ull},
      {ROLE_LEFT_CAMERA, 301, 211, {2.0, 1.5, 123.5}, 0x2de473952f37075dull},
      {ROLE_RIGHT_CAMERA, 301, 211, {2.0, 1.5, 123.5}, 0x4e0a4ac12b77022aull},
  };
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  for (const auto& c : cases) {
    start(c.eye, c.width, c.height);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const std::string driver =
        std::string(renderer ? renderer : "?") + ", " +
        (version && std::strstr(version, "Mesa") ? std::strstr(version, "Mesa") : "?");
    if (driver != recorded)
      GTEST_SKIP() << "digests recorded with " << recorded << ", not " << driver;
    ASSERT_EQ(chdir(OCULANT_SOURCE_DIR "/examples/demo"), 0);
    readConfigFile(instance_->role, &instance_->sceneModel, &instance_->rigSettings);
    uploadTextures(instance_->role, &instance_->sceneModel, instance_->imageSlots);
    ASSERT_EQ(chdir(cwd), 0);
    instance_->rigPose = c.pose;
    EXPECT_EQ(fnv1a(frame()), c.digest) << "role " << c.eye << ", " << c.width << " x " << c.height;
  }
}

}  // namespace
