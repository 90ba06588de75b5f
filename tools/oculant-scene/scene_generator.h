// Random scenes from a seed: a backdrop and objects of random kind, size, place and turn, with
// random textures, in front of the rig's start pose, and random rig poses that keep clear of
// them. The same options give the same files, byte for byte, on any machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exact_numbers.h"

struct GeneratorOptions {
  uint64_t seed = 0;
  int objects = 0;
  int poses = 0;        // none when 0
  bool plain = false;   // slabs and lattice boards only, none turned; poses of three columns
  int cameraWidth = 0;  // CAMERA_WIDTH and CAMERA_HEIGHT, unless 0
  int cameraHeight = 0;
};

// The backdrop takes three objects: the colour that the textures show in, a far wall, a floor.
constexpr int kBackdropObjects = 3;
constexpr int kMaxGeneratedObjects = 27;  // with the backdrop, the bench's 30 objects
constexpr int kMaxGeneratedPoses = 1000000;

struct Box {
  Vec3 low;
  Vec3 high;
};

struct GeneratedFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

struct GeneratedScene {
  std::vector<GeneratedFile> files;  // config.txt first, then textures, meshes, poses.csv
  std::vector<Box> solids;           // the bounding box of every object the bench draws
  std::string summary;               // what is in it, in one line
};

// False with error set when the poses cannot be placed clear of the objects.
bool generateScene(const GeneratorOptions& options, GeneratedScene* scene, std::string* error);

// The distance from a point to the nearest point of a box (0 inside).
double distanceToBox(const Vec3& point, const Box& box);
