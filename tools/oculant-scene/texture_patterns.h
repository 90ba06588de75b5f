// Random textures for generated scenes: dots, value noise, stripes and checkers at random
// scales and colours, square with sides of a power of two, and tiling (they repeat seamlessly,
// as the renderer repeats a texture once per unit of the surface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "random_stream.h"

struct GeneratedTexture {
  int32_t side;                 // pixels, a power of two
  std::vector<uint8_t> pixels;  // side * side RGB triples, the bottom row first
  std::string pattern;          // what it shows, for the summary: "checkers", ...
};

GeneratedTexture randomTexture(RandomStream& random);

// The texture as a 24-bit BMP file's bytes, as the bench's BMP writer lays them out.
std::vector<uint8_t> textureBmpBytes(const GeneratedTexture& texture);
