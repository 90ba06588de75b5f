#include "scene/config_file.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

ConfigTable configTable;

namespace {

// Copies at most size - 1 characters and always terminates.
void copyCut(char* destination, size_t size, const char* source, size_t length) {
  if (length > size - 1) length = size - 1;
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

void fillObject(SceneObject* object, int number) {
  char key[32];
  auto lookup = [&](const char* suffix) {
    std::snprintf(key, sizeof key, "OBJECT%d%s", number, suffix);
    return configLookup(key);
  };
  object->kind = configInteger(lookup("").text);
  object->X = configReal(lookup("_X").text);
  object->Y = configReal(lookup("_Y").text);
  object->Z = configReal(lookup("_Z").text);
  object->WIDTH = configReal(lookup("_WIDTH").text);
  object->HEIGHT = configReal(lookup("_HEIGHT").text);
  object->textured = std::strcmp(lookup("_TEXTURE").text, "ON") == 0 ? 1 : 0;
  ConfigValue file = lookup("_FILE");
  copyCut(object->fileName, sizeof object->fileName, file.text, std::strlen(file.text));
  object->R = configReal(lookup("_R").text);
  object->G = configReal(lookup("_G").text);
  object->B = configReal(lookup("_B").text);
  object->ROTX = configReal(lookup("_ROTX").text);
  object->ROTY = configReal(lookup("_ROTY").text);
  object->ROTZ = configReal(lookup("_ROTZ").text);
  ConfigValue scale = lookup("_SCALE");
  object->SCALE = scale.text[0] == '\0' ? 1.0 : configReal(scale.text);
}

}  // namespace

int32_t configInteger(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  // atoi leaves overflow undefined; saturating keeps a huge count a huge count.
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double configReal(const char* text) {
  return parseNumberC(text, nullptr);
}

void storeConfigLine(int index, const char* line) {
  if (index < 0 || index >= kConfigEntries) return;
  const char* equals = std::strchr(line, '=');
  if (equals == nullptr) return;
  copyCut(configTable.keys[index], kConfigKeySize, line, static_cast<size_t>(equals - line));
  copyCut(configTable.values[index], kConfigValueSize, equals + 1, std::strlen(equals + 1));
}

ConfigValue configLookup(const char* key) {
  ConfigValue result{};
  for (int i = 0; i < kConfigEntries; ++i) {
    if (std::strcmp(configTable.keys[i], key) == 0) {
      std::memcpy(result.text, configTable.values[i], kConfigValueSize);
      result.text[kConfigValueSize - 1] = '\0';
      return result;
    }
  }
  return result;
}

int readConfigFile(InstanceRole role, SceneModel* scene, RigSettings* rig) {
  return readConfigFileNamed("config.txt", role, scene, rig);
}

int readConfigFileNamed(const char* fileName, InstanceRole role, SceneModel* scene,
                        RigSettings* rig) {
  std::vector<uint8_t> bytes;
  bool cut = false;
  const FileReadStatus status = readSceneFile(fileName, kConfigMaxBytes, &bytes, &cut);
  if (status == FileReadStatus::ABSENT && role == ROLE_SCENE) {
    // The scene stays empty, which a bench started in the wrong folder would show without a
    // word; the scene says so once for the three processes.
    std::error_code unknown;
    const std::string folder = std::filesystem::current_path(unknown).string();
    std::fprintf(stderr, "oculant: no %s in %s: the scene is empty\n", fileName,
                 folder.empty() ? "this folder" : folder.c_str());
  }
  if (status != FileReadStatus::OK) return 1;
  size_t length = bytes.size();
  if (cut) {
    // The line the bound runs through is part of the rest, not an entry of its own.
    while (length > 0 && bytes[length - 1] != '\n') --length;
  }
  // One byte more ends the last line.
  bytes.resize(length + 1);
  char* text = reinterpret_cast<char*>(bytes.data());

  for (auto& key : configTable.keys) key[0] = '\0';
  size_t start = 0;
  int lines = 0;
  for (; start < length && lines < kConfigEntries; ++lines) {
    char* line = text + start;
    char* end = static_cast<char*>(std::memchr(line, '\n', length - start));
    start = end != nullptr ? static_cast<size_t>(end - text) + 1 : length;
    // As text mode reads it, "\r\n" ends a line too; a last line without a line end is whole.
    if (end == nullptr) {
      end = text + length;
    } else if (end > line && end[-1] == '\r') {
      --end;
    }
    *end = '\0';
    storeConfigLine(lines, line);
  }
  if (lines == kConfigEntries && (start < length || cut)) {
    std::fprintf(stderr, "oculant: %s has more than %d lines: the rest is ignored\n", fileName,
                 kConfigEntries);
  } else if (cut) {
    std::fprintf(stderr, "oculant: %s is longer than %d bytes: the rest is ignored\n", fileName,
                 kConfigMaxBytes);
  }

  int32_t count = configInteger(configLookup("ALL").text);
  if (count < 0) count = 0;
  if (count > kMaxSceneObjects) count = kMaxSceneObjects;
  scene->objectCount = count;
  for (int i = 0; i < count; ++i) fillObject(&scene->objects[i], i + 1);
  // The bench has no console for the rig's warnings: it takes the defaults, oculant-scene says why.
  *rig = rigSettingsFromConfig(nullptr);
  return 0;
}
