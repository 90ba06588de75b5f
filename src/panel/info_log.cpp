#include "panel/info_log.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "scene/scene_state.h"

char infoLog[kInfoLogCapacity + 1];

namespace {

void prependLine(const char* line) {
  // line + "\r\n" + old log never needs more than the line, the separator and the log itself.
  char work[256 + 2 + kInfoLogCapacity + 1];
  std::snprintf(work, sizeof work, "%.255s\r\n%s", line, infoLog);
  // The cut may split a line or a "\r\n" pair; the panel shows whatever remains.
  size_t length = std::strlen(work);
  if (length > kInfoLogCapacity) length = kInfoLogCapacity;
  std::memcpy(infoLog, work, length);
  infoLog[length] = '\0';
}

}  // namespace

void prependInfoLine(const char* line) {
  prependLine(line);
  setInfoPanelText(infoLog);
}

void logRigPose(const RigPose& rigPose) {
  char line[256];
  // "Градус" in Windows-1251.
  std::snprintf(line, sizeof line, "\xC3\xF0\xE0\xE4\xF3\xF1=%5.3f", rigPose.heading);
  prependLine(line);
  std::snprintf(line, sizeof line, "Y=%5.3f", rigPose.rigY);
  prependLine(line);
  std::snprintf(line, sizeof line, "X=%5.3f", rigPose.rigX);
  prependLine(line);
  // One update for the three lines: a panel that is a real window redraws on each.
  setInfoPanelText(infoLog);
}

void clearInfoLog() {
  infoLog[0] = '\0';
  setInfoPanelText(infoLog);
}
