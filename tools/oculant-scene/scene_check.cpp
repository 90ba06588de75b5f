#include "scene_check.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "image/texture_file.h"
#include "mesh/mesh_file.h"
#include "scene/config_file.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

namespace {

const char* const kObjectSuffixes[] = {"",        "_X",       "_Y",    "_Z",    "_WIDTH",
                                       "_HEIGHT", "_TEXTURE", "_FILE", "_R",    "_G",
                                       "_B",      "_ROTX",    "_ROTY", "_ROTZ", "_SCALE"};
const char* const kRealSuffixes[] = {"_X", "_Y", "_Z",    "_WIDTH", "_HEIGHT", "_R",
                                     "_G", "_B", "_ROTX", "_ROTY",  "_ROTZ",   "_SCALE"};

// MinGW's C++ library formats as C99 does (%zu included), not as msvcrt's printf, which the
// plain printf archetype checks against there.
#ifdef __MINGW32__
std::string format(const char* pattern, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
#endif
std::string format(const char* pattern, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, pattern);
  std::vsnprintf(text, sizeof text, pattern, arguments);
  va_end(arguments);
  return text;
}

std::string objectKey(int number, const char* suffix) {
  return "OBJECT" + std::to_string(number) + suffix;
}

// The physical lines as the bench splits them, of no more than the bench itself reads.
std::vector<std::string> readLines(const std::string& fileName) {
  std::string text(static_cast<size_t>(kConfigMaxBytes), '\0');
  std::ifstream file(fileName, std::ios::binary);
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    const bool lastLine = end == std::string::npos;
    if (lastLine) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r' && !lastLine) line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Explains why a key that the bench never looks up might have been meant as one it does.
std::string explainUnreadKey(const std::string& key, const std::set<std::string>& readKeys,
                             int objectCount) {
  std::string trimmed = trim(key);
  if (trimmed != key && readKeys.count(trimmed))
    return "spaces around \"=\" belong to the key; write " + trimmed + "=...";
  int number = 0;
  char suffix[64] = "";
  if (std::sscanf(key.c_str(), "OBJECT%d%63s", &number, suffix) >= 1 && number > 0) {
    std::string canonical = objectKey(number, suffix);
    bool knownSuffix = std::any_of(std::begin(kObjectSuffixes), std::end(kObjectSuffixes),
                                   [&](const char* s) { return std::strcmp(s, suffix) == 0; });
    if (knownSuffix && canonical != key)
      return "object numbers have no leading zeros; write " + canonical;
    if (knownSuffix && number > objectCount)
      return format("object %d is beyond ALL=%d", number, objectCount);
  }
  std::string best;
  size_t bestDistance = 3;
  for (const std::string& candidate : readKeys) {
    if (upper(candidate) == upper(trimmed)) return "keys are case-sensitive; write " + candidate;
    size_t distance = editDistance(trimmed, candidate);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  if (!best.empty()) return "did you mean " + best + "?";
  return "";
}

// What the bench makes of an object: only textured slabs and lattices are drawn; an untextured
// one sets the colour that tints the textured objects after it.
std::string describeKind(const SceneObject& object) {
  if (object.kind == OBJECT_MESH) return object.textured ? "mesh, textured" : "mesh";
  if (object.kind != OBJECT_SLAB && object.kind != OBJECT_LATTICE) return "nothing";
  std::string name = object.kind == OBJECT_SLAB ? "slab" : "lattice";
  return object.textured ? name : name + ", untextured: sets the colour only";
}

void checkLines(const std::vector<std::string>& lines, int objectCount,
                std::vector<std::string>* warnings) {
  std::set<std::string> readKeys = {"ALL"};
  readKeys.insert(std::begin(kRigKeys), std::end(kRigKeys));
  for (int n = 1; n <= objectCount; ++n)
    for (const char* suffix : kObjectSuffixes) readKeys.insert(objectKey(n, suffix));

  std::map<std::string, size_t> firstLine;
  for (size_t i = 0; i < lines.size() && i < kConfigEntries; ++i) {
    const std::string& line = lines[i];
    size_t lineNumber = i + 1;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
      if (!trim(line).empty())
        warnings->push_back(format("line %zu: no \"=\", the line is ignored", lineNumber));
      continue;
    }
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (key.size() >= kConfigKeySize)
      warnings->push_back(
          format("line %zu: key longer than %d characters is cut", lineNumber, kConfigKeySize - 1));
    if (value.size() >= kConfigValueSize)
      warnings->push_back(format("line %zu: value longer than %d characters is cut", lineNumber,
                                 kConfigValueSize - 1));
    std::string storedKey = key.substr(0, kConfigKeySize - 1);
    if (key.empty()) {
      warnings->push_back(format("line %zu: empty key, never read", lineNumber));
      continue;
    }
    auto earlier = firstLine.find(storedKey);
    if (earlier != firstLine.end()) {
      warnings->push_back(format("line %zu: %s repeats line %zu; the first one counts", lineNumber,
                                 storedKey.c_str(), earlier->second));
      continue;
    }
    firstLine[storedKey] = lineNumber;
    if (!readKeys.count(storedKey)) {
      std::string why = explainUnreadKey(storedKey, readKeys, objectCount);
      warnings->push_back(format("line %zu: key \"%s\" is not read by the bench%s%s", lineNumber,
                                 storedKey.c_str(), why.empty() ? "" : ": ", why.c_str()));
    }
  }
  if (lines.size() > static_cast<size_t>(kConfigEntries))
    warnings->push_back(format("lines %d to %zu are ignored: the bench reads %d lines",
                               kConfigEntries + 1, lines.size(), kConfigEntries));
}

// A number that does not use all of its text ("1,5", "2m") is read as its start only.
void checkNumber(const std::string& key, bool integer, std::vector<std::string>* warnings) {
  ConfigValue value = configLookup(key.c_str());
  if (value.text[0] == '\0') return;
  char* end = nullptr;
  if (integer)
    std::strtol(value.text, &end, 10);
  else
    std::strtod(value.text, &end);
  if (end == value.text || *end != '\0') {
    std::string read =
        integer ? std::to_string(configInteger(value.text)) : shortestReal(configReal(value.text));
    warnings->push_back(format("%s=\"%s\" is read as %s", key.c_str(), value.text, read.c_str()));
  }
}

bool isPowerOfTwo(int32_t side) {
  return side > 0 && (side & (side - 1)) == 0;
}

void checkTexture(int number, const SceneObject& object, const std::string& textureFolder,
                  SceneReport* report) {
  std::string path = object.fileName;
  if (!path.empty() && path[0] != '/') path = textureFolder + "/" + path;
  std::string failure;
  TextureImage* image = readTextureImage(path.c_str(), &failure);
  if (image == nullptr) {
    while (!failure.empty() && failure.back() == '\n') failure.pop_back();
    report->warnings.push_back(format("object %d: texture \"%s\" will not load: %s", number,
                                      object.fileName, failure.c_str()));
    return;
  }
  // The bench hands such an image to GL as it is; a GL that takes only powers of two would
  // leave the texture empty, so a scene meant for one should not rely on it.
  if (!isPowerOfTwo(image->width) || !isPowerOfTwo(image->height))
    report->notes.push_back(format(
        "object %d: texture \"%s\" is %d x %d, sides not powers of two: this bench shows it, "
        "but a renderer limited to OpenGL 1.1 would draw the object without its image",
        number, object.fileName, image->width, image->height));
  freeTextureImage(image);
}

std::string inFolder(const std::string& folder, const std::string& name) {
  return !name.empty() && name[0] == '/' ? name : folder + "/" + name;
}

// A mesh draws when its OBJ file reads; a material image that does not read leaves that
// material in its colour.
void checkMesh(int number, const SceneObject& object, const std::string& textureFolder,
               SceneReport* report) {
  MeshData mesh;
  std::string failure;
  if (!readMeshFile(inFolder(textureFolder, object.fileName), &mesh, &failure)) {
    report->warnings.push_back(format("object %d: mesh \"%s\" will not load: %s", number,
                                      object.fileName, failure.c_str()));
    return;
  }
  report->notes.push_back(format("object %d: mesh \"%s\": %zu triangles, materials: %zu", number,
                                 object.fileName, mesh.vertexCount() / 3, mesh.materials.size()));
  if (!object.textured) return;
  std::set<std::string> checked;
  for (const MeshMaterial& material : mesh.materials) {
    if (material.texturePath.empty() || !checked.insert(material.texturePath).second) continue;
    TextureImage* image = readImageFile(material.texturePath.c_str(), &failure);
    if (image == nullptr)
      report->warnings.push_back(format(
          "object %d: texture \"%s\" of material %s will not load: it %s; drawn in its colour",
          number, material.texturePath.c_str(), material.name.c_str(), failure.c_str()));
    freeTextureImage(image);
  }
}

void checkObjects(const SceneModel& sceneModel, const std::string& textureFolder,
                  SceneReport* report) {
  std::vector<std::string>* warnings = &report->warnings;
  for (int i = 0; i < sceneModel.objectCount; ++i) {
    const SceneObject& object = sceneModel.objects[i];
    int number = i + 1;
    checkNumber(objectKey(number, ""), true, warnings);
    for (const char* suffix : kRealSuffixes)
      checkNumber(objectKey(number, suffix), false, warnings);

    std::string texture = configLookup(objectKey(number, "_TEXTURE").c_str()).text;
    if (!object.textured && upper(trim(texture)) == "ON")
      warnings->push_back(format("object %d: TEXTURE=\"%s\" is not exactly \"ON\": untextured",
                                 number, texture.c_str()));
    if (object.kind == OBJECT_MESH) {
      checkMesh(number, object, textureFolder, report);
      continue;
    }
    if (object.kind != OBJECT_SLAB && object.kind != OBJECT_LATTICE) {
      warnings->push_back(
          format("object %d: kind %d draws nothing (1 is a slab, 2 a lattice, 3 a mesh)", number,
                 object.kind));
      continue;
    }
    if (!object.textured) continue;
    if (object.kind == OBJECT_LATTICE) {
      bool secondTextured = sceneModel.objectCount >= 2 && sceneModel.objects[1].textured &&
                            sceneModel.objects[1].kind != OBJECT_MESH;
      if (!secondTextured)
        warnings->push_back(
            format("object %d: a lattice shows object 2's texture, and object 2 "
                   "is not textured",
                   number));
      // Every lattice shows object 2's file: another lattice's own file is loaded, never shown.
      if (number != 2) continue;
    }
    checkTexture(number, object, textureFolder, report);
  }
}

// What the camera windows' client area, the eye image, is set to.
std::string eyeImageSize(const RigSettings& rig) {
  const std::string width = std::to_string(rig.cameraWidth);
  const std::string height = std::to_string(rig.cameraHeight);
  if (rig.cameraWidth > 0 && rig.cameraHeight > 0) return width + " x " + height + " pixels";
  if (rig.cameraWidth > 0) return width + " pixels wide, as high as the camera windows";
  if (rig.cameraHeight > 0) return height + " pixels high, as wide as the camera windows";
  return "the camera windows' client area";
}

// The rig as the bench sets it up, each value as the bench holds it.
std::vector<std::string> describeRig(const RigSettings& rig) {
  const std::string size = eyeImageSize(rig);
  return {"rig: eye images " + size + ", field of view " + shortestReal(rig.fieldOfViewY) +
              " degrees, baseline " + shortestReal(rig.baseline) + ", eye height " +
              shortestReal(rig.eyeHeight),
          "rig: right eye yaw " + shortestReal(rig.rightEyeYaw) + ", pitch " +
              shortestReal(rig.rightEyePitch) + ", roll " + shortestReal(rig.rightEyeRoll) +
              " degrees; noise " + shortestReal(rig.noise) + " grey levels, seed " +
              std::to_string(rig.noiseSeed)};
}

}  // namespace

std::string shortestReal(double value) {
  char text[40];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

SceneReport checkSceneFile(const std::string& fileName, const std::string& textureFolder) {
  SceneReport report;
  SceneModel sceneModel = {};
  RigSettings rigSettings = kDefaultRig;
  std::memset(&configTable, 0, sizeof configTable);
  if (readConfigFileNamed(fileName.c_str(), ROLE_SCENE, &sceneModel, &rigSettings) != 0) {
    return report;
  }
  report.opened = true;

  for (int i = 0; i < sceneModel.objectCount; ++i) {
    const SceneObject& o = sceneModel.objects[i];
    report.objectLines.push_back(format(
        "object %d: kind=%d (%s) X=%s Y=%s Z=%s WIDTH=%s HEIGHT=%s R=%s G=%s B=%s textured=%d "
        "file=\"%s\"",
        i + 1, o.kind, describeKind(o).c_str(), shortestReal(o.X).c_str(),
        shortestReal(o.Y).c_str(), shortestReal(o.Z).c_str(), shortestReal(o.WIDTH).c_str(),
        shortestReal(o.HEIGHT).c_str(), shortestReal(o.R).c_str(), shortestReal(o.G).c_str(),
        shortestReal(o.B).c_str(), o.textured, o.fileName));
    // Only a turned object names its turn, so the lines of a scene without one stay as they were.
    if (o.ROTX != 0 || o.ROTY != 0 || o.ROTZ != 0)
      report.objectLines.back() += " ROTX=" + shortestReal(o.ROTX) +
                                   " ROTY=" + shortestReal(o.ROTY) +
                                   " ROTZ=" + shortestReal(o.ROTZ);
  }

  std::vector<std::string> lines = readLines(fileName);
  ConfigValue all = configLookup("ALL");
  int32_t declared = configInteger(all.text);
  if (all.text[0] == '\0')
    report.warnings.push_back("ALL is missing: the scene is empty");
  else if (declared > kMaxSceneObjects)
    report.warnings.push_back(
        format("ALL=%d: the bench uses at most %d objects", declared, kMaxSceneObjects));
  else if (declared < 0)
    report.warnings.push_back(format("ALL=%d: the scene is empty", declared));
  report.rigLines = describeRig(rigSettingsFromConfig(&report.warnings));
  checkNumber("ALL", true, &report.warnings);
  checkLines(lines, sceneModel.objectCount, &report.warnings);
  checkObjects(sceneModel, textureFolder, &report);
  return report;
}
