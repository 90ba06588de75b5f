// The geometry as GL receives it: feedback mode returns every vertex after the model-view
// transform, and normal-map texture generation hands each vertex's normal back as its texture
// coordinates.
#include "render/geometry.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gl_test_window.h"
#include "scene/scene_state.h"

namespace {

using Vec3 = std::array<float, 3>;

struct FedVertex {
  Vec3 position;
  Vec3 normal;
};
using FedTriangle = std::array<FedVertex, 3>;

class Geometry : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    ASSERT_TRUE(window_.ok());
  }

  // Draws under an orthographic box of +-extent mapped one to one onto a viewport, so the
  // window coordinates that feedback reports translate straight back to model-view space.
  std::vector<FedTriangle> capture(const std::function<void()>& draw, float extent = 100) {
    std::vector<GLfloat> buffer(4 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glViewport(0, 0, static_cast<GLsizei>(2 * extent), static_cast<GLsizei>(2 * extent));
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
    for (GLenum coordinate : {GL_S, GL_T, GL_R}) {
      glTexGeni(coordinate, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
    }
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";

    std::vector<FedTriangle> triangles;
    const int vertexFloats = 3 + 4 + 4;
    for (GLint at = 0; at < used;) {
      const GLint token = static_cast<GLint>(buffer[at++]);
      if (token != GL_POLYGON_TOKEN) {
        ADD_FAILURE() << "unexpected feedback token " << token;
        break;
      }
      const int count = static_cast<int>(buffer[at++]);
      EXPECT_EQ(count, 3) << "a triangle was clipped";
      FedTriangle triangle{};
      for (int v = 0; v < count; ++v, at += vertexFloats) {
        if (v >= 3) continue;
        const GLfloat* f = &buffer[at];
        triangle[v].position = {f[0] - extent, f[1] - extent, extent * (1 - 2 * f[2])};
        triangle[v].normal = {f[7], f[8], f[9]};
      }
      triangles.push_back(triangle);
    }
    return triangles;
  }

  GlTestWindow window_{64, 64};
};

void expectNear(const Vec3& actual, const Vec3& expected, const std::string& what) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(actual[i], expected[i], 2e-3) << what << " component " << i;
  }
}

std::array<float, 16> modelView() {
  std::array<float, 16> matrix{};
  glGetFloatv(GL_MODELVIEW_MATRIX, matrix.data());
  return matrix;
}

void expectSameMatrix(const std::array<float, 16>& a, const std::array<float, 16>& b) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-5) << "matrix element " << i;
}

// The corners of each triangle as written in the box table (a digit 0 or 1 per axis picks the
// first or second x, y, z) and the axis and direction of its face's normal offset.
struct TableRow {
  const char* corners[3];
  int axis;
  float offset;
};
const TableRow kBoxTable[12] = {
    {{"000", "100", "010"}, 2, 1},  {{"110", "100", "010"}, 2, 1},  {{"000", "100", "001"}, 1, -1},
    {{"001", "100", "101"}, 1, -1}, {{"010", "110", "011"}, 1, 1},  {{"011", "110", "111"}, 1, 1},
    {{"000", "010", "001"}, 0, -1}, {{"001", "010", "011"}, 0, -1}, {{"100", "110", "101"}, 0, 1},
    {{"101", "110", "111"}, 0, 1},  {{"001", "101", "011"}, 2, -1}, {{"111", "101", "011"}, 2, -1},
};

TEST_F(Geometry, BoxSendsTheTwelveTrianglesInOrderWithPositionLikeNormals) {
  const float x[2] = {1, 4}, y[2] = {-2, 6}, z[2] = {0.5f, -0.7f};
  const auto triangles = capture([&] { drawBox(x[0], y[0], x[1], y[1], z[0], z[1]); });
  ASSERT_EQ(triangles.size(), 12u);
  for (int t = 0; t < 12; ++t) {
    for (int v = 0; v < 3; ++v) {
      const char* pick = kBoxTable[t].corners[v];
      const Vec3 position = {x[pick[0] - '0'], y[pick[1] - '0'], z[pick[2] - '0']};
      Vec3 normal = position;
      normal[kBoxTable[t].axis] += kBoxTable[t].offset;
      const std::string where =
          "triangle " + std::to_string(t + 1) + " vertex " + std::to_string(v + 1);
      expectNear(triangles[t][v].position, position, where + " position");
      expectNear(triangles[t][v].normal, normal, where + " normal");
    }
  }
  // The last normal sent stays current: that of (x0, y1, z1) on the bottom face.
  Vec3 current{};
  glGetFloatv(GL_CURRENT_NORMAL, current.data());
  expectNear(current, {1, 6, -1.7f}, "current normal");
}

struct Board {
  Vec3 low, high;
};

// The box around the twelve triangles from `first` on.
Board boundsOf(const std::vector<FedTriangle>& triangles, size_t first = 0) {
  Board board{{1e9f, 1e9f, 1e9f}, {-1e9f, -1e9f, -1e9f}};
  for (size_t t = first; t < first + 12; ++t) {
    for (const auto& vertex : triangles[t]) {
      for (int i = 0; i < 3; ++i) {
        board.low[i] = std::min(board.low[i], vertex.position[i]);
        board.high[i] = std::max(board.high[i], vertex.position[i]);
      }
    }
  }
  return board;
}

TEST_F(Geometry, SlabHangsBelowItsZAndKeepsNormalsOfItsUntranslatedBox) {
  SceneObject slab{};
  slab.kind = OBJECT_SLAB;
  slab.X = 3, slab.Y = 1, slab.WIDTH = 2, slab.HEIGHT = 4, slab.Z = 0.5;
  std::array<float, 16> before{}, after{};
  const auto triangles = capture([&] {
    glTranslatef(0.25f, 0, 0);
    before = modelView();
    drawSlab(slab);
    after = modelView();
    glLoadIdentity();
  });
  expectSameMatrix(after, before);
  ASSERT_EQ(triangles.size(), 12u);
  const Board box = boundsOf(triangles);
  expectNear(box.low, {3.25f, 1, 0.3f}, "lowest corner");
  expectNear(box.high, {5.25f, 5, 0.5f}, "highest corner");
  // Top face (z = Z) normals are (x, y, 1) and bottom ones (x, y, -1.2), whatever Z is.
  for (int t : {0, 1, 10, 11}) {
    for (const auto& vertex : triangles[t]) {
      const float nz = t < 2 ? 1.0f : -1.2f;
      const Vec3 normal = {vertex.position[0] - 0.25f, vertex.position[1], nz};
      expectNear(vertex.normal, normal, "z face normal");
    }
  }
}

TEST_F(Geometry, SlabWithNegativeWidthSpansBackwardWithInwardXNormals) {
  SceneObject slab{};
  slab.X = 2, slab.Y = 0, slab.WIDTH = -3, slab.HEIGHT = 1, slab.Z = 0;
  const auto triangles = capture([&] { drawSlab(slab); });
  ASSERT_EQ(triangles.size(), 12u);
  // Triangle 7 lies on x = x0 = X and its normals point to x0 - 1, toward the inside.
  for (const auto& vertex : triangles[6]) {
    EXPECT_NEAR(vertex.position[0], 2, 1e-3);
    EXPECT_NEAR(vertex.normal[0], 1, 1e-3);
  }
  for (const auto& vertex : triangles[8]) EXPECT_NEAR(vertex.position[0], -1, 1e-3);
}

TEST_F(Geometry, LatticeStandsFourWallsOfBoardsWhereverItsFieldsPlaceThem) {
  SceneObject lattice{};
  lattice.kind = OBJECT_LATTICE;
  lattice.X = 0.5, lattice.Y = 0.25, lattice.Z = 1, lattice.WIDTH = 2.5, lattice.HEIGHT = 2;
  const auto before = modelView();
  std::array<float, 16> after{};
  const auto triangles = capture([&] {
    drawLattice(lattice);
    after = modelView();
  });
  expectSameMatrix(after, before);

  const float X = 0.5f, Y = 0.25f, Z = 1, W = 2.5f, H = 2;
  std::vector<Board> expected;
  for (int d = 0; d < 3; ++d) {  // a fractional WIDTH of 2.5 still gets a third board
    expected.push_back({{X + d, -Z, Y}, {X + d + 1, -Z + 0.2f, Y + 2}});
    expected.push_back({{X + d, H - Z - 0.2f, Y}, {X + d + 1, H - Z, Y + 2}});
  }
  for (int d = 0; d < 2; ++d) {
    expected.push_back({{Z, X + d, Y}, {Z + 0.2f, X + d + 1, Y + 2}});
    expected.push_back({{Z + W - 0.2f, X + d, Y}, {Z + W, X + d + 1, Y + 2}});
  }
  ASSERT_EQ(triangles.size(), expected.size() * 12);
  for (size_t b = 0; b < expected.size(); ++b) {
    const Board board = boundsOf(triangles, b * 12);
    expectNear(board.low, expected[b].low, "board " + std::to_string(b) + " low");
    expectNear(board.high, expected[b].high, "board " + std::to_string(b) + " high");
  }
}

TEST_F(Geometry, LatticeBoardCountsAreBoundedAndEmptySizesDrawNothing) {
  SceneObject lattice{};
  lattice.kind = OBJECT_LATTICE;
  const auto before = modelView();
  for (double size : {0.0, -4.0, std::nan("")}) {
    lattice.WIDTH = size;
    lattice.HEIGHT = size;
    std::array<float, 16> after{};
    const auto triangles = capture([&] {
      drawLattice(lattice);
      after = modelView();
    });
    EXPECT_TRUE(triangles.empty()) << "size " << size;
    expectSameMatrix(after, before);
  }
  // A huge WIDTH stops at the cap: two boards per step of the loop.
  lattice.WIDTH = 1e12;
  lattice.HEIGHT = 0;
  const auto triangles = capture([&] { drawLattice(lattice); }, 2048);
  EXPECT_EQ(triangles.size(), 2u * kMaxLatticeBoardsPerLoop * 12);
}

}  // namespace
