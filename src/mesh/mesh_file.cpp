#include "mesh/mesh_file.h"

#include <cmath>
#include <map>
#include <sstream>

#include "mesh/mesh_limits.h"
#include "platform/platform.h"
#include "tiny_obj_loader.h"

namespace {

// The folder part of a name as written ("a/b.mtl" gives "a/"), empty for a bare name.
std::string folderOf(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return name;
  return folder + name;
}

// Material libraries through the caller's reader, a bounded number of them, each parsed from
// memory; their texture names get the library's folder.
class BoundedMaterialReader : public tinyobj::MaterialReader {
 public:
  explicit BoundedMaterialReader(const MaterialFileReader& read) : read_(read) {}

  bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                  std::map<std::string, int>* names, std::string* warn, std::string* err) override {
    std::vector<uint8_t> bytes;
    if (++libraries_ > kMaxMtlFiles || !read_(name, &bytes)) {
      if (warn != nullptr) *warn += "material library " + name + " not read\n";
      return false;
    }
    std::istringstream stream(std::string(bytes.begin(), bytes.end()));
    const size_t first = materials->size();
    tinyobj::LoadMtl(names, materials, &stream, warn, err);
    for (size_t i = first; i < materials->size(); ++i) {
      std::string& texture = (*materials)[i].diffuse_texname;
      texture = joined(folderOf(name), texture);
    }
    return true;
  }

 private:
  const MaterialFileReader& read_;
  int libraries_ = 0;
};

struct Vector {
  float x, y, z;
};

// A file's y-up point in the world's z-up axes.
Vector worldAxes(const float* p) {
  return {p[0], -p[2], p[1]};
}

Vector unit(Vector v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 1};
  return {v.x / length, v.y / length, v.z / length};
}

Vector faceNormal(const Vector p[3]) {
  const Vector a{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
  const Vector b{p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
  return unit({a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x});
}

// An index the reader gives, checked against the count of its kind; -1 (none) passes.
bool indexFits(int index, size_t values, size_t perValue) {
  return index >= -1 && (index < 0 || static_cast<size_t>(index) < values / perValue);
}

bool appendTriangle(const tinyobj::attrib_t& attrib, const tinyobj::index_t corners[3],
                    MeshData* mesh, std::string* failure) {
  Vector position[3];
  for (int k = 0; k < 3; ++k) {
    const tinyobj::index_t& c = corners[k];
    if (c.vertex_index < 0 || !indexFits(c.vertex_index, attrib.vertices.size(), 3) ||
        !indexFits(c.normal_index, attrib.normals.size(), 3) ||
        !indexFits(c.texcoord_index, attrib.texcoords.size(), 2)) {
      *failure = "a face names a vertex, normal or texture point the file does not have";
      return false;
    }
    position[k] = worldAxes(&attrib.vertices[3 * static_cast<size_t>(c.vertex_index)]);
  }
  const Vector flat = faceNormal(position);
  for (int k = 0; k < 3; ++k) {
    const tinyobj::index_t& c = corners[k];
    const Vector normal =
        c.normal_index < 0
            ? flat
            : unit(worldAxes(&attrib.normals[3 * static_cast<size_t>(c.normal_index)]));
    mesh->positions.insert(mesh->positions.end(), {position[k].x, position[k].y, position[k].z});
    mesh->normals.insert(mesh->normals.end(), {normal.x, normal.y, normal.z});
    if (c.texcoord_index < 0) {
      mesh->texturePoints.insert(mesh->texturePoints.end(), {0.0f, 0.0f});
    } else {
      const float* uv = &attrib.texcoords[2 * static_cast<size_t>(c.texcoord_index)];
      mesh->texturePoints.insert(mesh->texturePoints.end(), {uv[0], uv[1]});
    }
  }
  return true;
}

// The triangles of every shape, one group per material in material order (the object's own
// colour, -1, first), so that a frame switches material as seldom as it can.
bool buildTriangles(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes,
                    MeshData* mesh, std::string* failure) {
  const int materials = static_cast<int>(mesh->materials.size());
  for (int material = -1; material < materials; ++material) {
    const size_t first = mesh->vertexCount();
    for (const tinyobj::shape_t& shape : shapes) {
      const tinyobj::mesh_t& faces = shape.mesh;
      size_t corner = 0;
      for (size_t f = 0; f < faces.num_face_vertices.size(); ++f) {
        const size_t sides = faces.num_face_vertices[f];
        if (corner + sides > faces.indices.size()) {
          *failure = "the reader's faces do not add up";
          return false;
        }
        int id = f < faces.material_ids.size() ? faces.material_ids[f] : -1;
        if (id < -1 || id >= materials) id = -1;
        if (id == material && sides == 3 &&
            !appendTriangle(attrib, &faces.indices[corner], mesh, failure)) {
          return false;
        }
        corner += sides;
      }
    }
    const size_t count = mesh->vertexCount() - first;
    if (count > 0) mesh->groups.push_back({material, first, count});
  }
  return true;
}

}  // namespace

bool parseMesh(const uint8_t* bytes, size_t length, const MaterialFileReader& readMaterials,
               MeshData* mesh, std::string* failure) {
  *mesh = MeshData();
  if (!meshWithinLimits(bytes, length, failure)) return false;
  std::istringstream stream(std::string(bytes, bytes + length));
  BoundedMaterialReader materialReader(readMaterials);
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warnings, errors;
  if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warnings, &errors, &stream, &materialReader,
                        true, false)) {
    *failure = errors.empty() ? "not an OBJ file the reader accepts" : errors;
    while (!failure->empty() && failure->back() == '\n') failure->pop_back();
    return false;
  }
  // The reader leaves out a quad with a bad index, with only a warning; a broken file is
  // refused whole, whatever the shape of its broken face.
  if (warnings.find("invalid vertex index") != std::string::npos) {
    *failure = "a face names a vertex, normal or texture point the file does not have";
    return false;
  }
  if (materials.size() > static_cast<size_t>(kMaxMeshMaterials)) {
    *failure = "more than " + std::to_string(kMaxMeshMaterials) + " materials";
    return false;
  }
  for (const tinyobj::material_t& m : materials) {
    mesh->materials.push_back({m.name,
                               {float(m.diffuse[0]), float(m.diffuse[1]), float(m.diffuse[2])},
                               m.diffuse_texname});
  }
  if (!buildTriangles(attrib, shapes, mesh, failure)) {
    *mesh = MeshData();
    return false;
  }
  return true;
}

bool readMeshFile(const std::string& path, MeshData* mesh, std::string* failure) {
  std::vector<uint8_t> bytes;
  bool cut = false;
  const FileReadStatus status = readSceneFile(path.c_str(), kMaxObjFileBytes, &bytes, &cut);
  if (status != FileReadStatus::OK || cut) {
    *failure = status == FileReadStatus::ABSENT ? "no such file"
               : cut ? "larger than " + std::to_string(kMaxObjFileBytes >> 20) + " MiB"
                     : "not a regular file that can be read";
    return false;
  }
  const std::string folder = folderOf(path);
  const MaterialFileReader readMaterials = [&](const std::string& name, std::vector<uint8_t>* mtl) {
    bool tooLong = false;
    return readSceneFile(joined(folder, name).c_str(), kMaxMtlFileBytes, mtl, &tooLong) ==
               FileReadStatus::OK &&
           !tooLong;
  };
  if (!parseMesh(bytes.data(), bytes.size(), readMaterials, mesh, failure)) return false;
  for (MeshMaterial& material : mesh->materials)
    material.texturePath = joined(folder, material.texturePath);
  return true;
}
