#include "scene/config_file.h"

#include <locale.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene/scene_state.h"

ConfigTable configTable;

namespace {

// Copies at most size - 1 characters and always terminates.
void copyCut(char* destination, size_t size, const char* source, size_t length) {
  if (length > size - 1) length = size - 1;
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Reads one physical line of any length; the line end ("\n", or "\r\n" as text mode reads it)
// is not kept. Returns false at the end of the file before any character.
bool readPhysicalLine(FILE* file, char** buffer, size_t* capacity) {
  ssize_t length = getline(buffer, capacity, file);
  if (length < 0) return false;
  if (length > 0 && (*buffer)[length - 1] == '\n') {
    (*buffer)[--length] = '\0';
    if (length > 0 && (*buffer)[length - 1] == '\r') (*buffer)[--length] = '\0';
  }
  return true;
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
  return strtod_l(text, nullptr, cLocale());
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

int readConfigFile() {
  return readConfigFileNamed("config.txt");
}

int readConfigFileNamed(const char* fileName) {
  FILE* file = std::fopen(fileName, "r");
  if (file == nullptr) return 1;

  for (auto& key : configTable.keys) key[0] = '\0';
  char* line = nullptr;
  size_t capacity = 0;
  // Lines past the table's end are read and dropped so that one long file cannot overrun it.
  for (int i = 0; readPhysicalLine(file, &line, &capacity); ++i) {
    if (i < kConfigEntries) storeConfigLine(i, line);
  }
  std::free(line);
  std::fclose(file);

  int32_t count = configInteger(configLookup("ALL").text);
  if (count < 0) count = 0;
  if (count > kMaxSceneObjects) count = kMaxSceneObjects;
  sceneModel.objectCount = count;
  for (int i = 0; i < count; ++i) fillObject(&sceneModel.objects[i], i + 1);
  return 0;
}
