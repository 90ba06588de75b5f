// The scene's meshes on the GL side: read once when the window's GL context is set up, kept as
// display lists (one per material) and textures, and drawn by the frame like any other object.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene_state.h"

// One material's triangles of a mesh: a display list drawing them, with the colour or texture
// that the material gives them.
struct MeshPart {
  uint32_t list;
  bool ownColour;  // the object's R, G, B rather than a material's Kd
  float colour[3];
  uint32_t texture;  // 0: drawn in the colour
};

struct MeshSlot {
  std::vector<MeshPart> parts;  // empty: nothing to draw (not a mesh, or its file was refused)
};

extern MeshSlot meshSlots[kMaxSceneObjects];  // entry i for object i

// Reads the OBJ file of every mesh object, builds its lists and uploads the textures of its
// materials when the object is textured. What cannot be read is said on stderr by the scene
// instance (role) (each instance reads the same files) and leaves the mesh, or the material's
// texture, out. Needs the window's GL context to be current.
void uploadMeshes(InstanceRole role, const SceneModel& scene);

// Empties every slot, as at process start; the GL names go with the context. Tests use it.
void resetMeshSlots();

enum class MeshShading { LIT, GEOMETRY_ONLY };

// Draws an object's mesh at its anchor, turned and scaled. GEOMETRY_ONLY sends the triangles
// alone, in whatever colour is current (for object ids). Leaves the GL state as it found it.
void drawMesh(const SceneObject& object, const MeshSlot& slot, MeshShading shading);
