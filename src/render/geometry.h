// The scene's primitives in immediate mode: the box and the two shapes built from it.
#pragma once

#include "scene/scene_state.h"

// The most boards one wall loop of a lattice draws: a WIDTH or HEIGHT in the millions would
// otherwise make every frame crawl, and one beyond a 32-bit counter would never finish.
constexpr int kMaxLatticeBoardsPerLoop = 1000;

// One GL_TRIANGLES batch of 12 triangles spanning the two corners and heights, each vertex
// preceded by a position-like normal (the vertex moved one unit out along its face's axis).
void drawBox(float x0, float y0, float x1, float y1, float z0, float z1);

// A 0.2 thick slab whose top face lies at Z, spanning X..X+WIDTH and Y..Y+HEIGHT.
void drawSlab(const SceneObject& object);

// Four walls of 1 x 2 x 0.2 boards, at most kMaxLatticeBoardsPerLoop per loop.
void drawLattice(const SceneObject& object);
