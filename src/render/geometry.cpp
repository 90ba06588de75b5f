#include "render/geometry.h"

#include <GL/gl.h>

namespace {

// A box corner picked by whether it takes the second x, y and z of the box.
struct Corner {
  bool x1, y1, z1;
};

// A face is named by the axis that is constant on it; its normals are the vertex positions
// moved one unit along that axis, outward as the renderer passes the corners.
struct Face {
  int axis;
  float offset;
};

struct Triangle {
  Face face;
  Corner v[3];
};

constexpr Face kTop{2, 1}, kFrontY0{1, -1}, kBackY1{1, 1}, kLeftX0{0, -1}, kRightX1{0, 1},
    kBottom{2, -1};

// The fixed triangle and vertex order of every box; the two triangles of a face wind
// differently, which is harmless since culling stays off.
constexpr Triangle kBoxTriangles[12] = {
    {kTop, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},     {kTop, {{1, 1, 0}, {1, 0, 0}, {0, 1, 0}}},
    {kFrontY0, {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}}, {kFrontY0, {{0, 0, 1}, {1, 0, 0}, {1, 0, 1}}},
    {kBackY1, {{0, 1, 0}, {1, 1, 0}, {0, 1, 1}}},  {kBackY1, {{0, 1, 1}, {1, 1, 0}, {1, 1, 1}}},
    {kLeftX0, {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}},  {kLeftX0, {{0, 0, 1}, {0, 1, 0}, {0, 1, 1}}},
    {kRightX1, {{1, 0, 0}, {1, 1, 0}, {1, 0, 1}}}, {kRightX1, {{1, 0, 1}, {1, 1, 0}, {1, 1, 1}}},
    {kBottom, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}},  {kBottom, {{1, 1, 1}, {1, 0, 1}, {0, 1, 1}}},
};

void drawBoard(const SceneObject& object) {
  drawBox(static_cast<float>(object.X), static_cast<float>(object.Y),
          static_cast<float>(object.X + 1), static_cast<float>(object.Y + 2),
          static_cast<float>(object.Z), static_cast<float>(object.Z - 0.2));
}

}  // namespace

void drawBox(float x0, float y0, float x1, float y1, float z0, float z1) {
  glBegin(GL_TRIANGLES);
  for (const Triangle& triangle : kBoxTriangles) {
    for (const Corner& corner : triangle.v) {
      float position[3] = {corner.x1 ? x1 : x0, corner.y1 ? y1 : y0, corner.z1 ? z1 : z0};
      float normal[3] = {position[0], position[1], position[2]};
      normal[triangle.face.axis] += triangle.face.offset;
      glNormal3f(normal[0], normal[1], normal[2]);
      glVertex3f(position[0], position[1], position[2]);
    }
  }
  glEnd();
}

void drawSlab(const SceneObject& object) {
  const float z = static_cast<float>(object.Z);
  glTranslatef(0, 0, z);
  drawBox(static_cast<float>(object.X), static_cast<float>(object.Y),
          static_cast<float>(object.X + object.WIDTH), static_cast<float>(object.Y + object.HEIGHT),
          0, -0.2f);
  glTranslatef(0, 0, -z);
}

void drawLattice(const SceneObject& object) {
  const double width = object.WIDTH;
  const double height = object.HEIGHT;
  glRotated(90, 1, 0, 0);
  // The two walls along x, one board per unit of WIDTH.
  for (int d = 0; d < width && d < kMaxLatticeBoardsPerLoop; ++d) {
    const float shift = static_cast<float>(d);
    glTranslatef(shift, 0, 0);
    drawBoard(object);
    glTranslatef(-shift, 0, 0);
    glTranslatef(shift, 0, static_cast<float>(0.2 - height));
    drawBoard(object);
    glTranslatef(-shift, 0, static_cast<float>(height - 0.2));
  }
  glRotated(90, 0, 1, 0);
  // The two walls along y, one board per unit of HEIGHT.
  for (int d = 0; d < height && d < kMaxLatticeBoardsPerLoop; ++d) {
    const float shift = static_cast<float>(d);
    glTranslatef(shift, 0, 0.2f);
    drawBoard(object);
    glTranslatef(-shift, 0, -0.2f);
    glTranslatef(shift, 0, static_cast<float>(width));
    drawBoard(object);
    glTranslatef(-shift, 0, static_cast<float>(-width));
  }
  glRotated(-90, 0, 1, 0);
  glRotated(-90, 1, 0, 0);
}
