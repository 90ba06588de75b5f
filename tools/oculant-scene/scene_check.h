// Checks a scene file for the mistakes that the bench itself accepts silently: keys nothing
// reads, values that convert to something else than they seem, objects that draw nothing.
#pragma once

#include <string>
#include <vector>

struct SceneReport {
  bool opened = false;
  std::vector<std::string> objectLines;  // the scene as the bench holds it, one line per object
  std::vector<std::string> rigLines;     // the stereo rig as the bench sets it up
  std::vector<std::string> warnings;
  std::vector<std::string> notes;  // worth knowing, but nothing is wrong
};

// Reads the file with the bench's own reader (into the global scene model) and describes it.
// Texture files are looked up relative to textureFolder, the folder the bench would run in.
SceneReport checkSceneFile(const std::string& fileName, const std::string& textureFolder);

// The shortest decimal text that reads back as exactly the same double.
std::string shortestReal(double value);
