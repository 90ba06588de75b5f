// A first pass over an OBJ file's text that counts what building its mesh would take, so that a
// file asking for too much is refused before the reader allocates for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// True when the file keeps within the limits of mesh/mesh_file.h; else false with *failure
// naming the first limit passed.
bool meshWithinLimits(const uint8_t* bytes, size_t length, std::string* failure);
