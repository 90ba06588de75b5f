#include "render/mesh_slots.h"

#include <GL/gl.h>

#include <cstdio>
#include <map>
#include <string>

#include "image/texture_file.h"
#include "mesh/mesh_file.h"
#include "render/object_turn.h"

MeshSlot meshSlots[kMaxSceneObjects];

namespace {

uint32_t compileGroup(const MeshData& mesh, const MeshGroup& group) {
  const GLuint list = glGenLists(1);
  if (list == 0) return 0;
  // Client arrays are read when the list is compiled; only the drawing goes into it.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
  glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
  glTexCoordPointer(2, GL_FLOAT, 0, mesh.texturePoints.data());
  glNewList(list, GL_COMPILE);
  glDrawArrays(GL_TRIANGLES, static_cast<GLint>(group.firstVertex),
               static_cast<GLsizei>(group.vertexCount));
  glEndList();
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  return list;
}

uint32_t uploadImage(const TextureImage& image) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  // One level, no mipmaps: only these filters make it usable.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  GLint savedAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // tight rows of any width
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
               image.pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
  return texture;
}

// Each image once per mesh, however many materials name it; 0 for one that cannot be read.
uint32_t textureFor(int number, const MeshMaterial& material,
                    std::map<std::string, uint32_t>* uploaded, bool speaks) {
  auto known = uploaded->find(material.texturePath);
  if (known != uploaded->end()) return known->second;
  std::string failure;
  TextureImage* image = readImageFile(material.texturePath.c_str(), &failure);
  uint32_t texture = 0;
  if (image != nullptr) {
    texture = uploadImage(*image);
    freeTextureImage(image);
  } else if (speaks) {
    std::fprintf(stderr, "oculant: object %d: texture %s of material %s %s: drawn in its colour\n",
                 number, material.texturePath.c_str(), material.name.c_str(), failure.c_str());
  }
  (*uploaded)[material.texturePath] = texture;
  return texture;
}

void uploadMesh(int index, const SceneObject& object, bool speaks) {
  MeshData mesh;
  std::string failure;
  if (!readMeshFile(object.fileName, &mesh, &failure)) {
    if (speaks)
      std::fprintf(stderr, "oculant: object %d: mesh %s: %s: not drawn\n", index + 1,
                   object.fileName, failure.c_str());
    return;
  }
  std::map<std::string, uint32_t> uploaded;
  for (const MeshGroup& group : mesh.groups) {
    MeshPart part{compileGroup(mesh, group), group.material < 0, {0, 0, 0}, 0};
    if (part.list == 0) continue;
    if (group.material >= 0) {
      const MeshMaterial& material = mesh.materials[static_cast<size_t>(group.material)];
      for (int c = 0; c < 3; ++c) part.colour[c] = material.diffuse[c];
      if (object.textured && !material.texturePath.empty())
        part.texture = textureFor(index + 1, material, &uploaded, speaks);
    }
    meshSlots[index].parts.push_back(part);
  }
}

}  // namespace

void uploadMeshes(InstanceRole role, const SceneModel& scene) {
  // Every instance reads the same files; the scene instance speaks for the three.
  const bool speaks = role == ROLE_SCENE;
  const int count = scene.objectCount < kMaxSceneObjects ? scene.objectCount : kMaxSceneObjects;
  for (int i = 0; i < count; ++i) {
    if (scene.objects[i].kind == OBJECT_MESH) uploadMesh(i, scene.objects[i], speaks);
  }
}

void resetMeshSlots() {
  for (MeshSlot& slot : meshSlots) slot.parts.clear();
}

void drawMesh(const SceneObject& object, const MeshSlot& slot, MeshShading shading) {
  if (slot.parts.empty()) return;
  glPushMatrix();
  moveToTurnedAnchor(object);
  glScaled(object.SCALE, object.SCALE, object.SCALE);
  // The colour comes back through glColor, not glPopAttrib: only glColor moves the material
  // colour along with it (colour material), and the objects after the mesh are lit by that.
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
  glDisable(GL_TEXTURE_2D);
  // The scale lengthens the normals, which light as they are unless normalised.
  if (shading == MeshShading::LIT) glEnable(GL_NORMALIZE);
  for (const MeshPart& part : slot.parts) {
    if (shading == MeshShading::LIT) {
      if (part.texture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, part.texture);
        glColor3f(1, 1, 1);
      } else {
        glDisable(GL_TEXTURE_2D);
        if (part.ownColour) {
          glColor3d(object.R, object.G, object.B);
        } else {
          glColor3fv(part.colour);
        }
      }
    }
    glCallList(part.list);
  }
  glPopAttrib();
  glColor4fv(colour);
  glPopMatrix();
}
