// Fuzz target for the configuration reader: any bytes "config.txt" may hold, read through the
// real file path. Checks that every stored key and value stays terminated within its field,
// that the object count stays within the scene, and that each stored key looks up to a value.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "memory_file.h"
#include "scene/config_file.h"
#include "scene/scene_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each input starts from an empty table, as the bench does when it starts.
  std::memset(&configTable, 0, sizeof configTable);
  static SceneModel sceneModel;
  RigSettings rigSettings = kDefaultRig;
  sceneModel = {};
  if (readConfigFileNamed(fileHolding(data, size).c_str(), ROLE_SCENE, &sceneModel, &rigSettings) !=
      0) {
    std::abort();
  }

  if (sceneModel.objectCount < 0 || sceneModel.objectCount > kMaxSceneObjects) std::abort();
  for (int i = 0; i < kConfigEntries; ++i) {
    if (std::memchr(configTable.keys[i], '\0', kConfigKeySize) == nullptr ||
        std::memchr(configTable.values[i], '\0', kConfigValueSize) == nullptr) {
      std::abort();
    }
  }
  // The first entry of a repeated key wins. Only the first entries are looked up: every lookup
  // scans the whole table, and a full table would make each input take milliseconds.
  for (int i = 0; i < 64; ++i) {
    if (configTable.keys[i][0] == '\0') continue;
    int first = 0;
    while (std::strcmp(configTable.keys[first], configTable.keys[i]) != 0) ++first;
    if (std::strcmp(configLookup(configTable.keys[i]).text, configTable.values[first]) != 0) {
      std::abort();
    }
  }
  for (int i = 0; i < sceneModel.objectCount; ++i) {
    const SceneObject& object = sceneModel.objects[i];
    if (std::memchr(object.fileName, '\0', sizeof object.fileName) == nullptr) std::abort();
  }
  return 0;
}
