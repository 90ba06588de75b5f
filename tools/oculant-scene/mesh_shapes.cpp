#include "mesh_shapes.h"

#include <algorithm>

namespace {

constexpr int kVertexDecimals = 5;
constexpr int kUvDecimals = 5;

class MeshBuilder {
 public:
  explicit MeshBuilder(const char* shape) { mesh_.shape = shape; }

  int vertex(double x, double y, double z) {
    mesh_.vertices.push_back({roundedTo(x, kVertexDecimals), roundedTo(y, kVertexDecimals),
                              roundedTo(z, kVertexDecimals)});
    return static_cast<int>(mesh_.vertices.size()) - 1;
  }
  int uv(double u, double v) {
    mesh_.uvs.push_back(roundedTo(u, kUvDecimals));
    mesh_.uvs.push_back(roundedTo(v, kUvDecimals));
    return static_cast<int>(mesh_.uvs.size() / 2) - 1;
  }
  void face(std::vector<MeshCorner> corners) { mesh_.faces.push_back(std::move(corners)); }
  GeneratedMesh take() { return std::move(mesh_); }

 private:
  GeneratedMesh mesh_;
};

// A grid of rows x (columns + 1) vertices, each row a ring whose last vertex repeats the first's
// place with u = 1, joined by quads; point(row, column) gives the vertex of a ring. Returns the
// grid's corners, row by row.
template <typename Point>
std::vector<MeshCorner> ringGrid(MeshBuilder* builder, int rows, int columns, Point point) {
  std::vector<MeshCorner> grid;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column <= columns; ++column) {
      const Vec3 p = point(row, column % columns);
      grid.push_back(
          {builder->vertex(p.x, p.y, p.z), builder->uv(static_cast<double>(column) / columns,
                                                       static_cast<double>(row) / (rows - 1))});
    }
  }
  auto at = [&](int row, int column) {
    return grid[static_cast<size_t>(row) * (columns + 1) + column];
  };
  for (int row = 0; row + 1 < rows; ++row)
    for (int column = 0; column < columns; ++column)
      builder->face(
          {at(row, column), at(row, column + 1), at(row + 1, column + 1), at(row + 1, column)});
  return grid;
}

Vec3 onCircle(double degrees, double radius, double z) {
  double s = 0;
  double c = 1;
  sinCosDegrees(degrees, &s, &c);
  return {radius * c, radius * s, z};
}

GeneratedMesh sphere(RandomStream& random) {
  MeshBuilder builder("sphere");
  const int rings = random.between(4, 14);  // between the poles
  const int slices = random.between(8, 32);
  const std::vector<MeshCorner> grid = ringGrid(&builder, rings, slices, [&](int row, int column) {
    double s = 0;
    double c = 1;
    sinCosDegrees(-90.0 + 180.0 * (row + 1) / (rings + 1), &s, &c);
    return onCircle(360.0 * column / slices, 0.5 * c, 0.5 * s);
  });
  // Each pole a point of its own, fanned to its nearest ring.
  for (const double z : {-0.5, 0.5}) {
    const MeshCorner pole = {builder.vertex(0, 0, z), builder.uv(0.5, z < 0 ? 0 : 1)};
    const size_t ring = z < 0 ? 0 : static_cast<size_t>(rings - 1) * (slices + 1);
    for (int column = 0; column < slices; ++column) {
      const MeshCorner& a = grid[ring + column];
      const MeshCorner& b = grid[ring + column + 1];
      builder.face(z < 0 ? std::vector<MeshCorner>{pole, b, a}
                         : std::vector<MeshCorner>{pole, a, b});
    }
  }
  return builder.take();
}

// Caps of a shape with a convex outline: one polygon each, of as many sides as the outline.
void caps(MeshBuilder* builder, const std::vector<Vec3>& outline, double bottom, double top) {
  std::vector<MeshCorner> lower;
  std::vector<MeshCorner> upper;
  for (const Vec3& p : outline) {
    const int uv = builder->uv(0.5 + p.x, 0.5 + p.y);
    lower.push_back({builder->vertex(p.x, p.y, bottom), uv});
    upper.push_back({builder->vertex(p.x, p.y, top), uv});
  }
  std::reverse(lower.begin(), lower.end());  // seen from below
  builder->face(lower);
  builder->face(upper);
}

GeneratedMesh cylinder(RandomStream& random) {
  MeshBuilder builder("cylinder");
  const int slices = random.between(6, 32);
  const double radius = random.decimal(0.2, 0.5, 2);
  const double half = random.decimal(0.2, 0.5, 2);
  ringGrid(&builder, 2, slices, [&](int row, int column) {
    return onCircle(360.0 * column / slices, radius, row == 0 ? -half : half);
  });
  std::vector<Vec3> outline;
  for (int i = 0; i < slices; ++i) outline.push_back(onCircle(360.0 * i / slices, radius, 0));
  caps(&builder, outline, -half, half);
  return builder.take();
}

GeneratedMesh torus(RandomStream& random) {
  MeshBuilder builder("torus");
  const int around = random.between(12, 32);
  const int tube = random.between(6, 16);
  const double major = random.decimal(0.25, 0.35, 2);
  const double minor = random.decimal(0.05, 0.15, 2);
  ringGrid(&builder, tube + 1, around, [&](int row, int column) {
    double s = 0;
    double c = 1;
    sinCosDegrees(-180.0 + 360.0 * row / tube, &s, &c);
    return onCircle(360.0 * column / around, major - minor * c, -minor * s);
  });
  return builder.take();
}

// A star of random points and depth, its caps fanned from the centre (the outline is not convex).
GeneratedMesh extrusion(RandomStream& random) {
  MeshBuilder builder("extrusion");
  const int points = random.between(3, 8);
  const double inner = random.decimal(0.15, 0.4, 2);
  const double half = random.decimal(0.05, 0.3, 2);
  const int corners = 2 * points;
  ringGrid(&builder, 2, corners, [&](int row, int column) {
    return onCircle(360.0 * column / corners, column % 2 ? inner : 0.5, row == 0 ? -half : half);
  });
  for (const double z : {-half, half}) {
    const int centreUv = builder.uv(0.5, 0.5);
    const MeshCorner centre = {builder.vertex(0, 0, z), centreUv};
    std::vector<MeshCorner> rim;
    for (int i = 0; i < corners; ++i) {
      const Vec3 p = onCircle(360.0 * i / corners, i % 2 ? inner : 0.5, z);
      rim.push_back({builder.vertex(p.x, p.y, z), builder.uv(0.5 + p.x, 0.5 + p.y)});
    }
    for (int i = 0; i < corners; ++i) {
      const MeshCorner& a = rim[static_cast<size_t>(i)];
      const MeshCorner& b = rim[static_cast<size_t>((i + 1) % corners)];
      builder.face(z > 0 ? std::vector<MeshCorner>{centre, a, b}
                         : std::vector<MeshCorner>{centre, b, a});
    }
  }
  return builder.take();
}

}  // namespace

GeneratedMesh randomMesh(RandomStream& random) {
  GeneratedMesh (*const kShapes[])(RandomStream&) = {sphere, cylinder, torus, extrusion};
  return kShapes[random.below(4)](random);
}

std::string meshObjText(const GeneratedMesh& mesh, const std::string& materialFile) {
  std::string text = "# " + mesh.shape + "\nmtllib " + materialFile + "\n";
  for (const Vec3& v : mesh.vertices)
    text += "v " + fixedDecimal(v.x, kVertexDecimals) + " " + fixedDecimal(v.z, kVertexDecimals) +
            " " + fixedDecimal(-v.y, kVertexDecimals) + "\n";
  for (size_t i = 0; i + 1 < mesh.uvs.size(); i += 2)
    text += "vt " + fixedDecimal(mesh.uvs[i], kUvDecimals) + " " +
            fixedDecimal(mesh.uvs[i + 1], kUvDecimals) + "\n";
  text += "usemtl surface\n";
  for (const std::vector<MeshCorner>& face : mesh.faces) {
    text += "f";
    for (const MeshCorner& corner : face)
      text += " " + std::to_string(corner.vertex + 1) + "/" + std::to_string(corner.uv + 1);
    text += "\n";
  }
  return text;
}

std::string meshMtlText(const double colour[3], const std::string& textureFile) {
  std::string text = "newmtl surface\nKd " + fixedDecimal(colour[0], 3) + " " +
                     fixedDecimal(colour[1], 3) + " " + fixedDecimal(colour[2], 3) + "\n";
  if (!textureFile.empty()) text += "map_Kd " + textureFile + "\n";
  return text;
}

void meshBounds(const GeneratedMesh& mesh, Vec3* low, Vec3* high) {
  *low = *high = mesh.vertices.front();
  for (const Vec3& v : mesh.vertices) {
    *low = {std::min(low->x, v.x), std::min(low->y, v.y), std::min(low->z, v.z)};
    *high = {std::max(high->x, v.x), std::max(high->y, v.y), std::max(high->z, v.z)};
  }
}
