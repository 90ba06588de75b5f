// The window's GL context and the fixed state every frame relies on: pixel format, context,
// depth test, projection, one white light and colour material.
#pragma once

#include "platform/platform.h"
#include "platform/windows_vocabulary.h"
#include "scene/rig_settings.h"
#include "scene/scene_state.h"

// Gives the window its context and fixed state for the role's projection, writes the overview's
// start values into *overview, then makes the glyph font.
// 0 on success; -1 (after the "Error1002" box) when no pixel format or context can be had, in
// which case nothing else is set up and the instance goes on without GL output.
int setUpGl(HWND window, InstanceRole role, const RigSettings& rig, OverviewView* overview);

// 1 when the device context received its pixel format, 0 (after the "Error1002" box) when not.
int selectPixelFormat(HDC deviceContext);

// The fixed state of a fresh context and the overview's start values for the role.
void initGlState(int width, int height, InstanceRole role, const RigSettings& rig,
                 OverviewView* overview);

// Keeps viewport and projection in step with the client area.
void resizeGl(int width, int height, InstanceRole role, const RigSettings& rig);

// Releases the glyph lists, the context and the device context; safe to call again. Returns 0.
int tearDownGl(HWND window);
