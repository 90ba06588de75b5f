// The one translation unit that holds the system's OBJ reader. Files reach it as bytes in
// memory (mesh/mesh_file.cpp), never by name.
#define TINYOBJLOADER_IMPLEMENTATION
#include "tiny_obj_loader.h"
