// The scene description: "config.txt", KEY=VALUE lines read into a key table and from there
// into the scene model and the rig settings.
#pragma once

#include <cstdint>

#include "scene/rig_settings.h"
#include "scene/scene_state.h"

constexpr int kConfigEntries = 1000;
constexpr int kConfigKeySize = 50;     // 49 characters and the terminator
constexpr int kConfigValueSize = 100;  // 99 characters and the terminator
// Reading stops after this many bytes, which a thousand lines of 255 characters fill and no real
// scene nears, so a huge or endless file costs bounded time and memory.
constexpr int kConfigMaxBytes = kConfigEntries * 256;

struct ConfigTable {
  char keys[kConfigEntries][kConfigKeySize];
  char values[kConfigEntries][kConfigValueSize];
};

extern ConfigTable configTable;

// A looked-up value: a copy owned by the caller, empty when the key is absent.
struct ConfigValue {
  char text[kConfigValueSize];
};

// Reads "config.txt" from the working directory into the table, *scene and *rig
// (scene/rig_settings.h), at most kConfigEntries lines and kConfigMaxBytes bytes, saying on
// stderr when the file goes on; the scene role also says when the file is missing.
// Returns 0 when the file was read and 1 when it is missing or no regular file, such as a FIFO
// or a device (the scene stays as it was; stderr names any file other than a missing one).
int readConfigFile(InstanceRole role, SceneModel* scene, RigSettings* rig);
int readConfigFileNamed(const char* fileName, InstanceRole role, SceneModel* scene,
                        RigSettings* rig);

// Splits one line (without its line end) at its first "=" into entry index. A line without "="
// stores nothing. Keys longer than 49 and values longer than 99 characters are cut.
void storeConfigLine(int index, const char* line);

// The value of the first entry whose key equals key exactly, or empty text.
ConfigValue configLookup(const char* key);

// The conversions of the file format: as atoi / atof, with "." as the decimal separator
// whatever the process's locale.
int32_t configInteger(const char* text);
double configReal(const char* text);
