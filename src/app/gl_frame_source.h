// The frame source of the running bench: the renderer draws, the window's GL read buffer is
// captured (messaging/frame_source.h).
#pragma once

#include "messaging/frame_source.h"

FrameSource& glFrameSource();
