// A scene object's turn about its anchor point, shared by every shape that can be turned.
#pragma once

#include "scene/scene_state.h"

// Whether any of the object's ROTX, ROTY and ROTZ is not zero.
bool objectIsTurned(const SceneObject& object);

// Multiplies the current matrix so that what is drawn next in the object's own coordinates stands
// turned about the world's x, then y, then z axis through (X, Y, Z), each by the right-hand rule.
// Texture coordinates generated object-linear and the normals turn with the object. An unturned
// object gets no GL call at all, so that its frames stay exactly those of the unturned bench;
// the caller saves and restores the matrix around a turned one.
void applyObjectTurn(const SceneObject& object);

// Moves the origin to the object's anchor and turns the axes as applyObjectTurn does: what is
// drawn next, in coordinates relative to the anchor (a mesh's vertices), stands placed and turned.
void moveToTurnedAnchor(const SceneObject& object);
