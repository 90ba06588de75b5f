// Generated meshes for scenes: spheres, cylinders, tori and extruded star shapes, about one
// unit across around their origin, in the world's axes (z up), and their Wavefront OBJ text.
#pragma once

#include <string>
#include <vector>

#include "exact_numbers.h"
#include "random_stream.h"

struct MeshCorner {
  int vertex;  // indices from 0 into the mesh's vertices and texture coordinates
  int uv;
};

struct GeneratedMesh {
  std::string shape;                           // "sphere", "cylinder", "torus" or "extrusion"
  std::vector<Vec3> vertices;                  // rounded to the decimals the OBJ file holds
  std::vector<double> uvs;                     // u, v pairs
  std::vector<std::vector<MeshCorner>> faces;  // counter-clockwise seen from outside
};

GeneratedMesh randomMesh(RandomStream& random);

// The OBJ file: y-up as the format has it (world (x, y, z) is written as x, z, -y), one material
// from materialFile.
std::string meshObjText(const GeneratedMesh& mesh, const std::string& materialFile);

// The MTL file of that material: a colour (R, G, B from 0 to 1) and, when textureFile is not
// empty, its image.
std::string meshMtlText(const double colour[3], const std::string& textureFile);

// The bounding box of the vertices, as min and max corners.
void meshBounds(const GeneratedMesh& mesh, Vec3* low, Vec3* high);
