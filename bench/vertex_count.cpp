#include "vertex_count.h"

#include <GL/gl.h>
#include <dlfcn.h>

namespace {
long long vertexCount = 0;

template <typename Function>
Function nextDefinition(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
}  // namespace

long long verticesSent() {
  return vertexCount;
}

extern "C" void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
  using Vertex3d = void (*)(GLdouble, GLdouble, GLdouble);
  static const Vertex3d real = nextDefinition<Vertex3d>("glVertex3d");
  ++vertexCount;
  real(x, y, z);
}

extern "C" void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  using Vertex3f = void (*)(GLfloat, GLfloat, GLfloat);
  static const Vertex3f real = nextDefinition<Vertex3f>("glVertex3f");
  ++vertexCount;
  real(x, y, z);
}
