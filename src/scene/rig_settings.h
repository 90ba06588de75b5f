// The stereo rig as a scene file may set it: the eye images' size and field of view, the eyes'
// spacing and height, small rotations of the right eye (calibration errors made on purpose) and
// sensor noise. Optional keys of "config.txt"; a file without them gets the rig the bench has
// always had, down to the last bit of every frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene_state.h"

struct RigSettings {
  // The camera windows' client size in pixels; 0 keeps the role table's window size, frame
  // included, as before these keys existed.
  int32_t cameraWidth;
  int32_t cameraHeight;
  double fieldOfViewY;  // degrees, the eye views' full vertical angle
  double baseline;      // the eyes' distance, centre to centre
  double eyeHeight;     // above the scene's z = 0
  // Degrees, the right eye about its own axes, in this order: yaw turns its view to the right,
  // pitch tilts it up, roll turns it clockwise as seen from behind. The left eye stays true.
  double rightEyeYaw;
  double rightEyePitch;
  double rightEyeRoll;
  double noise;  // standard deviation of the sensor noise, in grey levels; 0 for none
  uint32_t noiseSeed;
};

constexpr RigSettings kDefaultRig = {0, 0, 45.0, 0.1, kDefaultEyeHeight, 0.0, 0.0, 0.0, 0.0, 0};

// The rig the configuration table asks for. A key that is absent keeps its default; a value
// that is not a number, or lies outside its range, keeps the default too and adds a line to
// *warnings (when given) naming the key, the value and the range.
RigSettings rigSettingsFromConfig(std::vector<std::string>* warnings);

// The keys the rig reads, for tools that list the keys a scene may use.
extern const char* const kRigKeys[10];

// True when any of the right eye's rotations is set.
bool rightEyeTurned(const RigSettings& rig);

// True when the rig at this pose draws and describes as the fixed rig always did: level, eyes
// at the default height and parallel, no noise (size, field of view and baseline aside).
bool rigIsPlainAt(const RigSettings& rig, const RigPose& pose);

// The pose every instance starts from, its eyes at the scene's eye height.
RigPose rigStartPose(const RigSettings& rig);
