#include "scene/rig_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "scene/config_file.h"

const char* const kRigKeys[10] = {
    "CAMERA_WIDTH",  "CAMERA_HEIGHT",   "CAMERA_FOV",     "RIG_BASELINE", "RIG_EYE_HEIGHT",
    "RIGHT_EYE_YAW", "RIGHT_EYE_PITCH", "RIGHT_EYE_ROLL", "CAMERA_NOISE", "CAMERA_NOISE_SEED"};

namespace {

// The ranges keep a rig drawable and its frames sendable: an eye image fits a message (4096 x
// 4096 depth values are the 64 MiB limit), a field of view stays short of a half turn, and the
// right eye's errors stay small enough to leave a stereo pair.
struct RealKey {
  const char* key;
  double RigSettings::*field;
  double low;
  double high;
};
const RealKey kRealKeys[] = {
    {"CAMERA_FOV", &RigSettings::fieldOfViewY, 1, 170},
    {"RIG_BASELINE", &RigSettings::baseline, 0.001, 10},
    {"RIG_EYE_HEIGHT", &RigSettings::eyeHeight, -100, 100},
    {"RIGHT_EYE_YAW", &RigSettings::rightEyeYaw, -45, 45},
    {"RIGHT_EYE_PITCH", &RigSettings::rightEyePitch, -45, 45},
    {"RIGHT_EYE_ROLL", &RigSettings::rightEyeRoll, -45, 45},
    {"CAMERA_NOISE", &RigSettings::noise, 0, 100},
};

struct WholeKey {
  const char* key;
  long long low;
  long long high;
};
const WholeKey kCameraWidth = {"CAMERA_WIDTH", 16, 4096};
const WholeKey kCameraHeight = {"CAMERA_HEIGHT", 16, 4096};
const WholeKey kNoiseSeed = {"CAMERA_NOISE_SEED", 0, 4294967295LL};

bool onlyBlanksAt(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  return *text == '\0';
}

void warn(std::vector<std::string>* warnings, const char* key, const char* value,
          const char* problem, const std::string& fallback) {
  if (warnings == nullptr) return;
  char line[256];
  std::snprintf(line, sizeof line, "%s=\"%s\" %s: the default %s is used", key, value, problem,
                fallback.c_str());
  warnings->push_back(line);
}

std::string text(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

// The value of key when the file gives a usable one; else the default, with a warning when the
// key is there but unusable.
void readReal(const RealKey& entry, RigSettings* rig, std::vector<std::string>* warnings) {
  const ConfigValue value = configLookup(entry.key);
  if (value.text[0] == '\0') return;
  char* end = nullptr;
  const double number = parseNumberC(value.text, &end);
  const std::string fallback = text(kDefaultRig.*entry.field);
  if (end == value.text || !onlyBlanksAt(end) || !std::isfinite(number)) {
    warn(warnings, entry.key, value.text, "is not a number", fallback);
  } else if (number < entry.low || number > entry.high) {
    const std::string range = "is outside " + text(entry.low) + " to " + text(entry.high);
    warn(warnings, entry.key, value.text, range.c_str(), fallback);
  } else {
    rig->*entry.field = number;
  }
}

bool readWhole(const WholeKey& entry, long long fallback, long long* result,
               std::vector<std::string>* warnings) {
  const ConfigValue value = configLookup(entry.key);
  if (value.text[0] == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(value.text, &end, 10);
  const std::string fallbackText =
      fallback == 0 && entry.low > 0 ? "(the window's size)" : std::to_string(fallback);
  if (end == value.text || !onlyBlanksAt(end) || errno == ERANGE) {
    warn(warnings, entry.key, value.text, "is not a whole number", fallbackText);
    return false;
  }
  if (number < entry.low || number > entry.high) {
    const std::string range =
        "is outside " + std::to_string(entry.low) + " to " + std::to_string(entry.high);
    warn(warnings, entry.key, value.text, range.c_str(), fallbackText);
    return false;
  }
  *result = number;
  return true;
}

}  // namespace

RigSettings rigSettingsFromConfig(std::vector<std::string>* warnings) {
  RigSettings rig = kDefaultRig;
  long long whole = 0;
  if (readWhole(kCameraWidth, kDefaultRig.cameraWidth, &whole, warnings)) {
    rig.cameraWidth = static_cast<int32_t>(whole);
  }
  if (readWhole(kCameraHeight, kDefaultRig.cameraHeight, &whole, warnings)) {
    rig.cameraHeight = static_cast<int32_t>(whole);
  }
  for (const RealKey& entry : kRealKeys) readReal(entry, &rig, warnings);
  if (readWhole(kNoiseSeed, kDefaultRig.noiseSeed, &whole, warnings)) {
    rig.noiseSeed = static_cast<uint32_t>(whole);
  }
  return rig;
}

bool rightEyeTurned(const RigSettings& rig) {
  return rig.rightEyeYaw != 0 || rig.rightEyePitch != 0 || rig.rightEyeRoll != 0;
}

bool rigIsPlainAt(const RigSettings& rig, const RigPose& pose) {
  return !rightEyeTurned(rig) && rig.noise == 0 && pose.height == kDefaultEyeHeight &&
         rigIsLevel(pose);
}

RigPose rigStartPose(const RigSettings& rig) {
  RigPose pose = kStartPose;
  pose.height = rig.eyeHeight;
  return pose;
}
