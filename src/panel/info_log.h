// The text of the info panel: the rig's pose, newest lines first, at most 1000 characters.
#pragma once

#include "scene/scene_state.h"

constexpr int kInfoLogCapacity = 1000;

// The whole log, lines separated by "\r\n". The heading label is Windows-1251 text.
extern char infoLog[kInfoLogCapacity + 1];

// Every change below is passed on to the info panel (setInfoPanelText).

// Puts one line (and "\r\n") in front of the log and cuts it at 1000 characters.
void prependInfoLine(const char* line);

// Writes the heading, Y and X lines of the rig pose, so that X ends up on top.
void logRigPose(const RigPose& rigPose);

// Empties the log.
void clearInfoLog();
