// Fuzz target for the mesh reader: any bytes an OBJ file may hold, with the same bytes as its
// material library, so that both readers see them. Checks that a mesh it accepts is whole:
// arrays of matching lengths within the triangle limit, unit normals, and groups that cover the
// vertices in order with materials the mesh has.
#include <cmath>
#include <cstdlib>

#include "mesh/mesh_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MaterialFileReader sameBytes = [&](const std::string&, std::vector<uint8_t>* bytes) {
    bytes->assign(data, data + size);
    return true;
  };
  MeshData mesh;
  std::string failure;
  if (!parseMesh(data, size, sameBytes, &mesh, &failure)) {
    if (failure.empty() || mesh.vertexCount() != 0) std::abort();
    return 0;
  }
  const size_t vertices = mesh.vertexCount();
  if (mesh.positions.size() % 3 != 0 || vertices % 3 != 0 ||
      vertices > 3 * static_cast<size_t>(kMaxMeshTriangles) ||
      mesh.normals.size() != 3 * vertices || mesh.texturePoints.size() != 2 * vertices) {
    std::abort();
  }
  for (size_t i = 0; i < vertices; ++i) {
    const float* n = &mesh.normals[3 * i];
    if (!(std::fabs(n[0] * n[0] + n[1] * n[1] + n[2] * n[2] - 1) < 1e-3f)) std::abort();
  }
  size_t next = 0;
  for (const MeshGroup& group : mesh.groups) {
    if (group.firstVertex != next || group.vertexCount == 0 || group.material < -1 ||
        group.material >= static_cast<int>(mesh.materials.size())) {
      std::abort();
    }
    next += group.vertexCount;
  }
  if (next != vertices) std::abort();
  return 0;
}
