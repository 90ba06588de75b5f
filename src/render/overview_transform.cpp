#include "render/overview_transform.h"

#include <GL/gl.h>

void applyPanTransform(double tx, double ty, double tz, double rz, double ry, double rx) {
  glRotated(rz, 0, 0, 1);
  glRotated(ry, 0, 1, 0);
  glRotated(rx, 1, 0, 0);
  glTranslated(-tx, -ty, -tz);
}

void applyOrbitTransform(double distance, double azimuth, double tilt, double spin) {
  glTranslated(0, 0, -distance);
  glRotated(-azimuth, 0, 0, 1);
  glRotated(-tilt, 1, 0, 0);
  glRotated(spin, 0, 0, 1);
}
