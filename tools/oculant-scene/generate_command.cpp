#include "generate_command.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "scene_generator.h"

namespace fs = std::filesystem;

namespace {

const char kGenerateHelp[] =
    "usage: oculant-scene generate --seed S --objects N DIR [--poses K] [--plain]\n"
    "                              [--size WxH] [--force]\n"
    "\n"
    "Writes a random scene into the folder DIR (made when missing): DIR/config.txt, a BMP\n"
    "texture per textured object (objectNN.bmp) and an OBJ mesh with its MTL material per mesh\n"
    "(objectNN.obj, objectNN.mtl). The scene holds a backdrop (objects 1 to 3: the colour the\n"
    "textures show in, a far wall and a floor) and N objects of random kind, size, place and\n"
    "turn in the view of the rig's start pose (0.7, 0.7, heading 90): slabs, rows of lattice\n"
    "boards and meshes (spheres, cylinders, tori, extruded stars), textured with random dots,\n"
    "value noise, stripes or checkers, or, for some meshes, plain colours.\n"
    "The same arguments write the same files, byte for byte, on any machine.\n"
    "\n"
    "  --seed S      the scene's seed, a whole number from 0 to 18446744073709551615\n"
    "  --objects N   how many objects besides the backdrop, 1 to 27 (the bench takes 30)\n"
    "  --poses K     also write DIR/poses.csv: K random rig poses (1 to 1000000) near the\n"
    "                start pose, \"x, y, heading, height, pitch, roll\", each keeping the eyes\n"
    "                clear of every object's bounding box; oculant-client record reads it\n"
    "  --plain       only slabs and lattice boards, none turned, and poses of three columns\n"
    "                (\"x, y, heading\") at the default eye height\n"
    "  --size WxH    the eye images' size (CAMERA_WIDTH, CAMERA_HEIGHT: 16 to 4096 each);\n"
    "                without it the bench's own 320 x 240\n"
    "  --force       write into DIR even when it is not empty: an earlier scene's files\n"
    "                (config.txt, poses.csv, objectNN.bmp, .obj, .mtl) are replaced or\n"
    "                removed, other files are left\n"
    "\n"
    "Exit status: 0 when every file was written; 2 for wrong arguments, a folder in the way or\n"
    "a file that cannot be written.\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "oculant-scene generate: %s (see oculant-scene generate --help)\n",
               message.c_str());
  return 2;
}

// A whole decimal number from low to high, all of the text.
bool parseWhole(const char* text, unsigned long long low, unsigned long long high,
                unsigned long long* value) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

bool parseSize(const char* text, int* width, int* height) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  const std::string first(text, x);
  unsigned long long w = 0;
  unsigned long long h = 0;
  if (!parseWhole(first.c_str(), 16, 4096, &w) || !parseWhole(x + 1, 16, 4096, &h)) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// Whether the scene may go into folder: missing, or empty, or force given.
bool folderUsable(const fs::path& folder, bool force, std::string* reason) {
  std::error_code failure;
  const fs::file_status status = fs::symlink_status(folder, failure);
  if (!fs::exists(status)) return true;
  if (!fs::is_directory(fs::status(folder, failure))) {
    *reason = folder.string() + " exists and is not a folder";
    return false;
  }
  const bool empty = fs::is_empty(folder, failure);
  if (failure) {
    *reason = "cannot read " + folder.string() + ": " + failure.message();
    return false;
  }
  if (!empty && !force) {
    *reason = folder.string() + " is not empty (--force writes into it all the same)";
    return false;
  }
  return true;
}

// A name the generator writes: an earlier scene's file of such a name would not belong to the
// new scene (its poses not clear of the new objects, a mesh no object names).
bool generatorName(const std::string& name) {
  if (name == "config.txt" || name == "poses.csv") return true;
  const bool numbered = name.size() == 12 && name.compare(0, 6, "object") == 0 &&
                        std::isdigit(static_cast<unsigned char>(name[6])) &&
                        std::isdigit(static_cast<unsigned char>(name[7]));
  return numbered && (name.compare(8, 4, ".bmp") == 0 || name.compare(8, 4, ".obj") == 0 ||
                      name.compare(8, 4, ".mtl") == 0);
}

bool removeEarlierScene(const fs::path& folder, const GeneratedScene& scene, std::string* reason) {
  std::error_code failure;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) {
    const std::string name = entry.path().filename().string();
    bool written = false;
    for (const GeneratedFile& file : scene.files) written = written || file.name == name;
    if (written || !generatorName(name)) continue;
    if (!fs::remove(entry.path(), failure)) break;
  }
  if (failure) *reason = "cannot clear " + folder.string() + ": " + failure.message();
  return !failure;
}

bool writeScene(const fs::path& folder, const GeneratedScene& scene, std::string* reason) {
  std::error_code failure;
  fs::create_directories(folder, failure);
  if (failure) {
    *reason = "cannot make " + folder.string() + ": " + failure.message();
    return false;
  }
  if (!removeEarlierScene(folder, scene, reason)) return false;
  for (const GeneratedFile& file : scene.files) {
    const std::string path = (folder / file.name).string();
    const FilePart part = {file.bytes.data(), file.bytes.size()};
    std::string why;
    if (!replaceFile(path.c_str(), &part, 1, &why)) {
      *reason = "cannot write " + path + ": " + why;
      return false;
    }
  }
  return true;
}

}  // namespace

int runGenerateCommand(int count, char** args) {
  GeneratorOptions options;
  bool seedGiven = false;
  bool force = false;
  std::string folder;
  for (int i = 1; i < count; ++i) {
    const std::string arg = args[i];
    const bool hasValue = i + 1 < count;
    unsigned long long value = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kGenerateHelp, stdout);
      return 0;
    } else if (arg == "--force") {
      force = true;
    } else if (arg == "--plain") {
      options.plain = true;
    } else if (arg == "--seed" || arg == "--objects" || arg == "--poses" || arg == "--size") {
      if (!hasValue) return usageError(arg + " needs a value");
      const char* text = args[++i];
      if (arg == "--seed") {
        if (!parseWhole(text, 0, UINT64_MAX, &value))
          return usageError("--seed " + std::string(text) +
                            ": not a whole number from 0 to 2^64 - 1");
        options.seed = value;
        seedGiven = true;
      } else if (arg == "--objects") {
        if (!parseWhole(text, 1, kMaxGeneratedObjects, &value))
          return usageError("--objects " + std::string(text) + ": from 1 to " +
                            std::to_string(kMaxGeneratedObjects));
        options.objects = static_cast<int>(value);
      } else if (arg == "--poses") {
        if (!parseWhole(text, 1, kMaxGeneratedPoses, &value))
          return usageError("--poses " + std::string(text) + ": from 1 to " +
                            std::to_string(kMaxGeneratedPoses));
        options.poses = static_cast<int>(value);
      } else if (!parseSize(text, &options.cameraWidth, &options.cameraHeight)) {
        return usageError("--size " + std::string(text) + ": WxH, each from 16 to 4096");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (!folder.empty()) {
      return usageError("only one DIR may be given");
    } else {
      folder = arg;
    }
  }
  if (!seedGiven) return usageError("--seed S is needed");
  if (options.objects == 0) return usageError("--objects N is needed");
  if (folder.empty()) return usageError("DIR is needed");

  std::string reason;
  if (!folderUsable(folder, force, &reason)) return usageError(reason);
  GeneratedScene scene;
  if (!generateScene(options, &scene, &reason)) {
    std::fprintf(stderr, "oculant-scene generate: %s\n", reason.c_str());
    return 2;
  }
  if (!writeScene(folder, scene, &reason)) {
    std::fprintf(stderr, "oculant-scene generate: %s\n", reason.c_str());
    return 2;
  }
  const std::string files = std::to_string(scene.files.size());
  std::printf("wrote %s: %s, %s files\n", folder.c_str(), scene.summary.c_str(), files.c_str());
  return 0;
}
