// The geometry as GL receives it: feedback returns every vertex after the model-view transform,
// and normal-map texture generation hands each vertex's normal back as its texture coordinates.
#include "render/geometry.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "gl_test_window.h"
#include "render/object_turn.h"
#include "scene/scene_state.h"

namespace {

using Vec3 = std::array<float, 3>;
struct FedVertex {
  Vec3 position, normal;
};
using FedTriangle = std::array<FedVertex, 3>;

// Draws under an orthographic box of +-extent mapped one to one onto the viewport, so feedback's
// window coordinates translate straight back to model-view space.
std::vector<FedTriangle> capture(const std::function<void()>& draw, float extent = 100) {
  std::vector<GLfloat> buffer(4 << 20);
  glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glViewport(0, 0, GLsizei(2 * extent), GLsizei(2 * extent));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-extent, extent, -extent, extent, -extent, extent);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  // Texture coordinates reach the feedback only while unit 0 has a complete texture.
  const GLubyte texel[3] = {255, 255, 255};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);
  for (GLenum c : {GL_S, GL_T, GL_R}) glTexGeni(c, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
  for (GLenum c : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glEnable(c);
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint used = glRenderMode(GL_RENDER);
  EXPECT_GE(used, 0) << "feedback buffer overflow";
  std::vector<FedTriangle> triangles;
  for (GLint at = 0; at < used;) {
    EXPECT_EQ(buffer[at++], GL_POLYGON_TOKEN);
    EXPECT_EQ(buffer[at++], 3) << "a triangle was clipped";
    FedTriangle triangle{};
    for (int v = 0; v < 3; ++v, at += 11) {
      const GLfloat* f = &buffer[at];
      triangle[v] = {{f[0] - extent, f[1] - extent, extent * (1 - 2 * f[2])}, {f[7], f[8], f[9]}};
    }
    triangles.push_back(triangle);
  }
  return triangles;
}

void expectNear(const Vec3& actual, const Vec3& expected, const std::string& what) {
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(actual[i], expected[i], 2e-3) << what << " component " << i;
}

std::string corner(size_t triangle, int vertex) {
  return "triangle " + std::to_string(triangle + 1) + " vertex " + std::to_string(vertex + 1);
}

// The box around the twelve triangles from `first` on.
std::array<Vec3, 2> boundsOf(const std::vector<FedTriangle>& triangles, size_t first = 0) {
  std::array<Vec3, 2> box{{{1e9f, 1e9f, 1e9f}, {-1e9f, -1e9f, -1e9f}}};
  for (size_t t = first; t < first + 12; ++t)
    for (const auto& vertex : triangles[t])
      for (int i = 0; i < 3; ++i) {
        box[0][i] = std::min(box[0][i], vertex.position[i]);
        box[1][i] = std::max(box[1][i], vertex.position[i]);
      }
  return box;
}

class Geometry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.ok()); }
  GlTestWindow window_{64, 64};
};

TEST_F(Geometry, ABoxIsTwelveTrianglesWithPositionLikeNormals) {
  // Each triangle's corners (a digit per axis picks the first or second x, y, z) and the axis
  // and direction of its face's normal offset.
  const struct {
    const char* corners[3];
    int axis;
    float offset;
  } table[12] = {
      {{"000", "100", "010"}, 2, 1},  {{"110", "100", "010"}, 2, 1},
      {{"000", "100", "001"}, 1, -1}, {{"001", "100", "101"}, 1, -1},
      {{"010", "110", "011"}, 1, 1},  {{"011", "110", "111"}, 1, 1},
      {{"000", "010", "001"}, 0, -1}, {{"001", "010", "011"}, 0, -1},
      {{"100", "110", "101"}, 0, 1},  {{"101", "110", "111"}, 0, 1},
      {{"001", "101", "011"}, 2, -1}, {{"111", "101", "011"}, 2, -1},
  };
  const float x[2] = {1, 4}, y[2] = {-2, 6}, z[2] = {0.5f, -0.7f};
  const auto box = capture([&] { drawBox(x[0], y[0], x[1], y[1], z[0], z[1]); });
  ASSERT_EQ(box.size(), 12u);
  for (int t = 0; t < 12; ++t)
    for (int v = 0; v < 3; ++v) {
      const char* pick = table[t].corners[v];
      const Vec3 position = {x[pick[0] - '0'], y[pick[1] - '0'], z[pick[2] - '0']};
      Vec3 normal = position;
      normal[table[t].axis] += table[t].offset;
      expectNear(box[t][v].position, position, corner(t, v) + " position");
      expectNear(box[t][v].normal, normal, corner(t, v) + " normal");
    }
}

TEST_F(Geometry, ASlabHangsBelowItsZWithTheNormalsOfItsUntranslatedBox) {
  SceneObject slab{};
  slab.kind = OBJECT_SLAB;
  slab.X = 3, slab.Y = 1, slab.WIDTH = 2, slab.HEIGHT = 4, slab.Z = 0.5;
  const auto triangles = capture([&] {
    glTranslatef(0.25f, 0, 0);
    drawSlab(slab);
  });
  ASSERT_EQ(triangles.size(), 12u);
  const auto bounds = boundsOf(triangles);
  expectNear(bounds[0], {3.25f, 1, 0.3f}, "lowest corner");
  expectNear(bounds[1], {5.25f, 5, 0.5f}, "highest corner");
  for (const auto& vertex : triangles[0])
    expectNear(vertex.normal, {vertex.position[0] - 0.25f, vertex.position[1], 1}, "top");
  for (const auto& vertex : triangles[11])
    expectNear(vertex.normal, {vertex.position[0] - 0.25f, vertex.position[1], -1.2f}, "bottom");
}

TEST_F(Geometry, ALatticeStandsFourWallsOfBoundedBoards) {
  SceneObject lattice{};
  lattice.kind = OBJECT_LATTICE;
  lattice.X = 0.5, lattice.Y = 0.25, lattice.Z = 1, lattice.WIDTH = 2.5, lattice.HEIGHT = 2;
  std::array<float, 16> after{};
  const auto triangles = capture([&] {
    drawLattice(lattice);
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
  });
  EXPECT_EQ(after, (std::array<float, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}))
      << "the model-view matrix is given back";
  const float X = 0.5f, Y = 0.25f, Z = 1, W = 2.5f, H = 2;
  std::vector<std::array<Vec3, 2>> expected;
  for (int d = 0; d < 3; ++d) {  // a fractional WIDTH of 2.5 still gets a third board
    expected.push_back({{{X + d, -Z, Y}, {X + d + 1, -Z + 0.2f, Y + 2}}});
    expected.push_back({{{X + d, H - Z - 0.2f, Y}, {X + d + 1, H - Z, Y + 2}}});
  }
  for (int d = 0; d < 2; ++d) {
    expected.push_back({{{Z, X + d, Y}, {Z + 0.2f, X + d + 1, Y + 2}}});
    expected.push_back({{{Z + W - 0.2f, X + d, Y}, {Z + W, X + d + 1, Y + 2}}});
  }
  ASSERT_EQ(triangles.size(), expected.size() * 12);
  for (size_t b = 0; b < expected.size(); ++b) {
    const auto board = boundsOf(triangles, b * 12);
    expectNear(board[0], expected[b][0], "board " + std::to_string(b) + " low");
    expectNear(board[1], expected[b][1], "board " + std::to_string(b) + " high");
  }
  for (double size : {0.0, -4.0, std::nan("")}) {
    lattice.WIDTH = lattice.HEIGHT = size;
    EXPECT_TRUE(capture([&] { drawLattice(lattice); }).empty()) << "size " << size;
  }
  lattice.WIDTH = 1e12;  // stops at the cap: two boards per step of the loop
  lattice.HEIGHT = 0;
  EXPECT_EQ(capture([&] { drawLattice(lattice); }, 2048).size(),
            2u * kMaxLatticeBoardsPerLoop * 12);
}

// Where the turn sends the object's own unit axes, as the right-hand rule gives it about the
// world's x, then y, then z axis; every vertex must lie at anchor + turned offset, and every
// normal be the turned normal, whatever the order of the axes would have made otherwise.
TEST_F(Geometry, ATurnFollowsTheRightHandRuleAboutXThenYThenZThroughTheAnchor) {
  const Vec3 px{1, 0, 0}, nx{-1, 0, 0}, py{0, 1, 0}, ny{0, -1, 0}, pz{0, 0, 1}, nz{0, 0, -1};
  const struct {
    double rotX, rotY, rotZ;
    Vec3 x, y, z;  // images of the object's x, y and z axes
  } cases[] = {
      {0, 0, 0, px, py, pz},   {90, 0, 0, px, pz, ny},   {0, 90, 0, nz, py, px},
      {0, 0, 90, py, nx, pz},  {90, 90, 0, nz, px, ny},  {90, 0, 90, py, pz, px},
      {0, 90, 90, nz, nx, py}, {90, 90, 90, nz, py, px}, {-90, 0, 0, px, nz, py},
      {0, 0, 450, py, nx, pz},
  };
  SceneObject slab{};
  slab.kind = OBJECT_SLAB;
  slab.X = 1, slab.Y = 2, slab.Z = 3, slab.WIDTH = 1.5, slab.HEIGHT = 0.5;
  const Vec3 anchor{1, 2, 3};
  const auto unturned = capture([&] { drawSlab(slab); });
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "turn " << c.rotX << ", " << c.rotY << ", " << c.rotZ);
    slab.ROTX = c.rotX, slab.ROTY = c.rotY, slab.ROTZ = c.rotZ;
    // The image of v, turned about the anchor when `about` is 1 and about the origin when 0.
    const auto turn = [&c, &anchor](const Vec3& v, float about) {
      Vec3 out{};
      for (int i = 0; i < 3; ++i)
        out[i] = about * anchor[i] + (v[0] - about * anchor[0]) * c.x[i] +
                 (v[1] - about * anchor[1]) * c.y[i] + (v[2] - about * anchor[2]) * c.z[i];
      return out;
    };
    const auto turned = capture([&] {
      glPushMatrix();
      applyObjectTurn(slab);
      drawSlab(slab);
      glPopMatrix();
    });
    ASSERT_EQ(turned.size(), unturned.size());
    for (size_t t = 0; t < turned.size(); ++t)
      for (int v = 0; v < 3; ++v) {
        expectNear(turned[t][v].position, turn(unturned[t][v].position, 1), corner(t, v) + " at");
        expectNear(turned[t][v].normal, turn(unturned[t][v].normal, 0), corner(t, v) + " normal");
      }
  }
}

}  // namespace
