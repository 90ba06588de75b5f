// Triangle meshes read from Wavefront OBJ files and their MTL materials, ready to hand to GL as
// vertex arrays. The files are untrusted: sizes and counts are capped before anything is built,
// every index is checked, and a file that breaks a rule is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr size_t kMaxObjFileBytes = size_t{64} << 20;
constexpr size_t kMaxMtlFileBytes = size_t{1} << 20;
constexpr int kMaxMtlFiles = 16;
constexpr int kMaxMeshMaterials = 256;
constexpr int64_t kMaxMeshVertices = 2000000;  // of each kind: positions, normals, texture points
constexpr int64_t kMaxMeshTriangles = 1000000;
constexpr int kMaxFaceCorners = 64;
// Cutting a face of n corners into triangles takes up to n^3 steps; the sum over the faces is
// bounded so that no file of a few megabytes keeps the start-up busy for minutes.
constexpr int64_t kMaxTriangulationWork = 200000000;

struct MeshMaterial {
  std::string name;
  float diffuse[3];         // Kd
  std::string texturePath;  // map_Kd as a path to open, empty when the material has none
};

// A run of triangles drawn with one material; material -1 is the object's own colour.
struct MeshGroup {
  int material;
  size_t firstVertex;
  size_t vertexCount;
};

// Three vertices a triangle, in world axes (a file's (x, y, z) at (x, -z, y)), unscaled and
// unturned. Normals are unit length: the file's own, or the face's where the file has none.
struct MeshData {
  std::vector<float> positions;      // x, y, z per vertex
  std::vector<float> normals;        // x, y, z per vertex
  std::vector<float> texturePoints;  // u, v per vertex; 0, 0 where the file gives none
  std::vector<MeshMaterial> materials;
  std::vector<MeshGroup> groups;  // in material order, each material once at most

  size_t vertexCount() const { return positions.size() / 3; }
};

// Reads the bytes of a material library named in the OBJ file (as written there); false when
// there are none to read. Limited to kMaxMtlFileBytes.
using MaterialFileReader = std::function<bool(const std::string& name, std::vector<uint8_t>*)>;

// Builds the mesh of an OBJ file held in memory. Material libraries come from readMaterials;
// their texture names are given as the library's folder (as named in the OBJ file) joined with
// the name. False with *failure (e.g. "face with 70 corners: at most 64") when refused.
bool parseMesh(const uint8_t* bytes, size_t length, const MaterialFileReader& readMaterials,
               MeshData* mesh, std::string* failure);

// Reads the OBJ file at path (a regular file of at most kMaxObjFileBytes) and its material
// libraries and textures' names relative to its folder.
bool readMeshFile(const std::string& path, MeshData* mesh, std::string* failure);
