#include "render/object_turn.h"

#include <GL/gl.h>

#include <cmath>

namespace {

// GL takes the angle as a float: a whole number of turns taken off in double keeps a large angle
// exact and leaves any angle below 360 as it is.
double withinOneTurn(double degrees) {
  return std::fmod(degrees, 360.0);
}

}  // namespace

bool objectIsTurned(const SceneObject& object) {
  return object.ROTX != 0 || object.ROTY != 0 || object.ROTZ != 0;
}

void moveToTurnedAnchor(const SceneObject& object) {
  // Matrices apply to points in the reverse order of the calls: the x turn acts first.
  glTranslated(object.X, object.Y, object.Z);
  glRotated(withinOneTurn(object.ROTZ), 0, 0, 1);
  glRotated(withinOneTurn(object.ROTY), 0, 1, 0);
  glRotated(withinOneTurn(object.ROTX), 1, 0, 0);
}

void applyObjectTurn(const SceneObject& object) {
  if (!objectIsTurned(object)) return;
  moveToTurnedAnchor(object);
  glTranslated(-object.X, -object.Y, -object.Z);
}
